#include <platform/memory_backend.h>

#include <platform/text.h>
#include <winerror.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

constexpr DWORD kFolder = 0x10;

struct Node {
    std::u16string name;
    DWORD attributes = 0;
    FileTimeTicks created = 0, accessed = 0, written = 0;
    std::vector<char> data;
    // Children in creation order, as the store lists them, and by folded name.
    std::vector<std::shared_ptr<Node>> children;
    std::unordered_map<std::u16string, std::shared_ptr<Node>> byName;
    // Whether its bytes take room in the store: a staged copy does, a deleted file no longer.
    bool counted = true;

    bool IsFolder() const { return (attributes & kFolder) != 0; }
    std::shared_ptr<Node> Child(std::u16string_view child) const {
        auto it = byName.find(Folded(child));
        return it == byName.end() ? nullptr : it->second;
    }
    void Add(std::shared_ptr<Node> child) {
        byName[Folded(child->name)] = child;
        children.push_back(std::move(child));
    }
    void Remove(const std::shared_ptr<Node>& child) {
        byName.erase(Folded(child->name));
        std::erase(children, child);
    }
};

EntryInfo InfoOf(const Node& node) {
    return {node.name, node.attributes, node.IsFolder() ? 0 : node.data.size(),
            node.created, node.accessed, node.written};
}

void ApplyTimes(Node& node, const FileTimes& times) {
    if (times.created) node.created = *times.created;
    if (times.accessed) node.accessed = *times.accessed;
    if (times.written) node.written = *times.written;
}

}  // namespace

struct MemoryBackend::Store {
    std::mutex mutex;
    std::shared_ptr<Node> root = std::make_shared<Node>();
    uint64_t capacity;
    uint64_t used = 0;
    std::atomic<bool> writeProtected{false};

    explicit Store(uint64_t bytes) : capacity(bytes) { root->attributes = kFolder; }

    // 2 for a missing last part, 3 for a missing or non-folder part before it.
    DWORD Find(const PathParts& path, std::shared_ptr<Node>& node) {
        node = root;
        for (size_t i = 0; i < path.size(); ++i) {
            if (!node->IsFolder()) return ERROR_PATH_NOT_FOUND;
            auto child = node->Child(path[i]);
            if (!child) return i + 1 == path.size() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            node = std::move(child);
        }
        return 0;
    }

    DWORD FindParent(const PathParts& path, std::shared_ptr<Node>& parent) {
        if (path.empty()) return ERROR_ACCESS_DENIED;
        const PathParts folder(path.begin(), path.end() - 1);
        if (Find(folder, parent) != 0 || !parent->IsFolder()) return ERROR_PATH_NOT_FOUND;
        return 0;
    }

    // Grows a file to size bytes if the store has room.
    DWORD Resize(Node& node, uint64_t size) {
        if (writeProtected) return ERROR_WRITE_PROTECT;
        const uint64_t old = node.data.size();
        if (node.counted && size > old && size - old > capacity - std::min(capacity, used)) {
            return ERROR_DISK_FULL;
        }
        node.data.resize(size);
        if (node.counted) used = used - old + size;
        return 0;
    }

    void Uncount(Node& node) {
        if (!node.counted) return;
        used -= node.data.size();
        node.counted = false;
    }
};

namespace {

class MemoryFile final : public FileData {
public:
    MemoryFile(std::shared_ptr<MemoryBackend::Store> store, std::shared_ptr<Node> node)
        : store_(std::move(store)), node_(std::move(node)) {}

    DWORD Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) override {
        std::lock_guard lock(store_->mutex);
        const uint64_t size = node_->data.size();
        done = offset >= size ? 0 : static_cast<DWORD>(std::min<uint64_t>(count, size - offset));
        if (done > 0) std::memcpy(buffer, node_->data.data() + offset, done);
        return 0;
    }

    DWORD Write(uint64_t offset, const void* buffer, DWORD count) override {
        std::lock_guard lock(store_->mutex);
        const uint64_t end = offset + count;
        if (end > node_->data.size()) {
            if (DWORD error = store_->Resize(*node_, end); error != 0) return error;
        } else if (store_->writeProtected) {
            return ERROR_WRITE_PROTECT;
        }
        std::memcpy(node_->data.data() + offset, buffer, count);
        return 0;
    }

    DWORD Resize(uint64_t size) override {
        std::lock_guard lock(store_->mutex);
        return store_->Resize(*node_, size);
    }

    uint64_t Size() override {
        std::lock_guard lock(store_->mutex);
        return node_->data.size();
    }

    DWORD SetTimes(const FileTimes& times) override {
        std::lock_guard lock(store_->mutex);
        ApplyTimes(*node_, times);
        return 0;
    }

    DWORD GetTimes(FileTimeTicks& created, FileTimeTicks& accessed,
                   FileTimeTicks& written) override {
        std::lock_guard lock(store_->mutex);
        created = node_->created;
        accessed = node_->accessed;
        written = node_->written;
        return 0;
    }

private:
    std::shared_ptr<MemoryBackend::Store> store_;
    std::shared_ptr<Node> node_;
};

class MemoryStaged final : public StagedFile {
public:
    MemoryStaged(std::shared_ptr<MemoryBackend::Store> store, PathParts target)
        : store_(store), target_(std::move(target)), node_(std::make_shared<Node>()),
          data_(store, node_) {
        node_->name = target_.back();
    }
    ~MemoryStaged() override {
        std::lock_guard lock(store_->mutex);
        if (!committed_) store_->Uncount(*node_);
    }

    FileData& Data() override { return data_; }

    DWORD Commit(DWORD attributes, const FileTimes& times) override {
        std::lock_guard lock(store_->mutex);
        std::shared_ptr<Node> parent;
        if (DWORD error = store_->FindParent(target_, parent); error != 0) return error;
        if (auto old = parent->Child(target_.back())) {
            if (old->IsFolder()) return ERROR_ACCESS_DENIED;
            node_->name = old->name;  // a replaced file keeps the spelling it had
            store_->Uncount(*old);
            parent->Remove(old);
        }
        node_->attributes = attributes & ~kFolder;
        ApplyTimes(*node_, times);
        parent->Add(node_);
        committed_ = true;
        return 0;
    }

private:
    std::shared_ptr<MemoryBackend::Store> store_;
    PathParts target_;
    std::shared_ptr<Node> node_;
    MemoryFile data_;
    bool committed_ = false;
};

}  // namespace

MemoryBackend::MemoryBackend(uint64_t capacityBytes)
    : store_(std::make_shared<Store>(capacityBytes)) {}

MemoryBackend::~MemoryBackend() = default;

bool MemoryBackend::WriteProtected() { return store_->writeProtected; }

void MemoryBackend::SetWriteProtected(bool on) { store_->writeProtected = on; }

uint64_t MemoryBackend::UsedBytes() const {
    std::lock_guard lock(store_->mutex);
    return store_->used;
}

DWORD MemoryBackend::Stat(const PathParts& path, EntryInfo& info) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    info = InfoOf(*node);
    return 0;
}

DWORD MemoryBackend::List(const PathParts& folder, std::vector<EntryInfo>& entries) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> node;
    if (store_->Find(folder, node) != 0 || !node->IsFolder()) return ERROR_PATH_NOT_FOUND;
    entries.clear();
    for (const auto& child : node->children) entries.push_back(InfoOf(*child));
    return 0;
}

DWORD MemoryBackend::CreateFolder(const PathParts& path, FileTimeTicks now) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> parent;
    if (DWORD error = store_->FindParent(path, parent); error != 0) return error;
    if (parent->Child(path.back())) return ERROR_ALREADY_EXISTS;
    auto node = std::make_shared<Node>();
    node->name = path.back();
    node->attributes = kFolder;
    node->created = node->accessed = node->written = now;
    parent->Add(std::move(node));
    return 0;
}

DWORD MemoryBackend::RemoveFolder(const PathParts& path) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> parent, node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    if (DWORD error = store_->FindParent(path, parent); error != 0) return error;
    if (!node->IsFolder()) return ERROR_DIRECTORY;
    if (!node->children.empty()) return ERROR_DIR_NOT_EMPTY;
    parent->Remove(node);
    return 0;
}

DWORD MemoryBackend::CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                                std::unique_ptr<FileData>& file) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> parent;
    if (DWORD error = store_->FindParent(path, parent); error != 0) return error;
    if (parent->Child(path.back())) return ERROR_ALREADY_EXISTS;
    auto node = std::make_shared<Node>();
    node->name = path.back();
    node->attributes = attributes & ~kFolder;
    node->created = node->accessed = node->written = now;
    parent->Add(node);
    file = std::make_unique<MemoryFile>(store_, std::move(node));
    return 0;
}

DWORD MemoryBackend::OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    if (node->IsFolder()) return ERROR_ACCESS_DENIED;
    file = std::make_unique<MemoryFile>(store_, std::move(node));
    return 0;
}

DWORD MemoryBackend::DeleteFile(const PathParts& path) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> parent, node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    if (DWORD error = store_->FindParent(path, parent); error != 0) return error;
    if (node->IsFolder()) return ERROR_ACCESS_DENIED;
    store_->Uncount(*node);
    parent->Remove(node);
    return 0;
}

DWORD MemoryBackend::SetAttributes(const PathParts& path, DWORD attributes) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    node->attributes = (attributes & ~kFolder) | (node->attributes & kFolder);
    return 0;
}

DWORD MemoryBackend::SetTimes(const PathParts& path, const FileTimes& times) {
    std::lock_guard lock(store_->mutex);
    std::shared_ptr<Node> node;
    if (DWORD error = store_->Find(path, node); error != 0) return error;
    ApplyTimes(*node, times);
    return 0;
}

DWORD MemoryBackend::StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) {
    {
        std::lock_guard lock(store_->mutex);
        std::shared_ptr<Node> parent;
        if (DWORD error = store_->FindParent(target, parent); error != 0) return error;
    }
    staged = std::make_unique<MemoryStaged>(store_, target);
    return 0;
}

}  // namespace platform
