#include <platform/host_folder_backend.h>

#include "attribute_journal.h"
#include "host_file.h"

#include <platform/text.h>
#include <winerror.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stdfs = std::filesystem;

namespace platform {
namespace {

constexpr DWORD kReadOnly = 0x01, kFolder = 0x10, kInRom = 0x40;
constexpr DWORD kKeptBits = 0x01 | 0x02 | 0x04 | 0x20;
// Staged copies carry a character no CE name may hold, so no listing ever shows them.
constexpr char kStagedMark[] = "|staged-";

std::atomic<uint64_t> stagedCounter{0};

// Host names a CE path can reach: valid UTF-8, no character CE refuses, not only dots.
std::optional<std::u16string> CeNameOf(const char* hostName) {
    auto name = FromUtf8(hostName);
    if (!name || name->empty()) return std::nullopt;
    if (name->find_first_not_of(u'.') == std::u16string::npos) return std::nullopt;
    for (char16_t c : *name) {
        if (c < 0x20 || std::u16string_view(u"\\/<>:\"|*?").find(c) != std::u16string_view::npos) {
            return std::nullopt;
        }
    }
    return name;
}

// One host entry with what the host says about it.
struct HostEntry {
    stdfs::path path;
    struct stat st{};
    bool IsFolder() const { return S_ISDIR(st.st_mode); }
};

std::optional<HostEntry> StatEntry(stdfs::path path) {
    HostEntry entry{std::move(path)};
    if (::stat(entry.path.c_str(), &entry.st) != 0) return std::nullopt;
    return entry;
}

// The entry of folder whose name matches without regard to case. The exact spelling is tried
// first: it is the common case and costs one stat instead of reading the folder.
std::optional<HostEntry> FindChild(const stdfs::path& folder, std::u16string_view name) {
    if (auto exact = StatEntry(folder / ToUtf8(name))) return exact;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<HostEntry> found;
    while (dirent* entry = ::readdir(dir)) {
        auto ceName = CeNameOf(entry->d_name);
        if (ceName && EqualsIgnoreCase(*ceName, name)) {
            found = StatEntry(folder / entry->d_name);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string KeyOf(const PathParts& path) {
    std::string key;
    for (const auto& part : path) key += "\\" + ToUtf8(Folded(part));
    return key;
}

// Where a CE path is on the host: in the store, in the ROM folder, or both (a store folder
// that also holds ROM files, such as \Windows).
struct HostPlace {
    std::optional<HostEntry> store;
    std::optional<HostEntry> rom;
    bool Exists() const { return store || rom; }
};

}  // namespace

class HostFolderBackend::Impl {
public:
    static stdfs::path WithoutTrailingSeparator(const stdfs::path& folder) {
        auto path = folder.lexically_normal();
        return path.has_filename() || !path.has_parent_path() ? path : path.parent_path();
    }

    explicit Impl(HostFolderOptions options)
        : root_(WithoutTrailingSeparator(options.folder)), rom_(std::move(options.romFolder)) {
        std::error_code error;
        stdfs::create_directories(root_, error);
        auto journalFile = options.journal;
        if (journalFile.empty()) {
            journalFile = root_;
            journalFile += ".attributes";  // beside the folder, never inside it
        }
        stdfs::create_directories(journalFile.parent_path(), error);
        journal_ = std::make_shared<fs::AttributeJournal>(journalFile);
    }

    // 2 for a missing last part, 3 for a missing or non-folder part before it.
    DWORD Locate(const PathParts& path, HostPlace& place) {
        // The common case, every part spelled as on the host, costs the store's side one stat:
        // the host resolving the whole path is what the walk would find part by part (each
        // exact spelling first, every part before the last a folder). The ROM side still walks.
        std::optional<HostEntry> exact;
        if (!path.empty()) {
            stdfs::path whole = root_;
            for (const auto& part : path) whole /= ToUtf8(part);
            exact = StatEntry(std::move(whole));
        }
        place.store = exact ? std::nullopt : StatEntry(root_);
        place.rom = rom_.empty() ? std::nullopt : StatEntry(rom_);
        if (place.rom && !place.rom->IsFolder()) place.rom.reset();
        if (exact) {
            for (size_t i = 0; i < path.size() && place.rom; ++i) {
                place.rom = FindChild(place.rom->path, path[i]);
                if (i + 1 < path.size() && place.rom && !place.rom->IsFolder()) place.rom.reset();
            }
            place.store = std::move(exact);
            return 0;
        }
        for (size_t i = 0; i < path.size(); ++i) {
            const bool last = i + 1 == path.size();
            HostPlace next;
            if (place.store) next.store = FindChild(place.store->path, path[i]);
            if (place.rom) next.rom = FindChild(place.rom->path, path[i]);
            if (!last) {
                if (next.store && !next.store->IsFolder()) next.store.reset();
                if (next.rom && !next.rom->IsFolder()) next.rom.reset();
            }
            if (!next.Exists()) return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            place = std::move(next);
        }
        return 0;
    }

    EntryInfo Describe(const std::string& key, const HostEntry& host, bool inStore) {
        EntryInfo info;
        const auto name = CeNameOf(host.path.filename().c_str());
        info.name = name.value_or(u"");
        info.size = host.IsFolder() ? 0 : static_cast<uint64_t>(host.st.st_size);
        info.accessed = fs::TicksOf(host.st.st_atim);
        info.written = fs::TicksOf(host.st.st_mtim);
        info.created = info.written;
        info.attributes = host.IsFolder() ? kFolder : 0;
        if (!inStore) {
            if (!host.IsFolder()) info.attributes |= kInRom | kReadOnly;
            return info;
        }
        if (auto kept = journal_->Get(key)) {
            info.attributes |= kept->attributes & kKeptBits;
            if (kept->created != 0) info.created = kept->created;
        }
        // A file a person made read-only on the host reads as read-only here too.
        if (!(host.st.st_mode & S_IWUSR) && !host.IsFolder()) info.attributes |= kReadOnly;
        return info;
    }

    // The store folder for a CE folder, made (with the ROM's spelling) where the folder so far
    // exists only in ROM.
    DWORD StoreFolder(const PathParts& folder, stdfs::path& host) {
        host = root_;
        std::optional<stdfs::path> rom;
        if (!rom_.empty()) rom = rom_;
        for (const auto& part : folder) {
            auto inStore = FindChild(host, part);
            auto inRom = rom ? FindChild(*rom, part) : std::nullopt;
            rom = inRom && inRom->IsFolder() ? std::optional(inRom->path) : std::nullopt;
            if (inStore) {
                if (!inStore->IsFolder()) return ERROR_PATH_NOT_FOUND;
                host = inStore->path;
                continue;
            }
            if (!rom) return ERROR_PATH_NOT_FOUND;
            host /= rom->filename();
            if (::mkdir(host.c_str(), 0777) != 0 && errno != EEXIST) {
                return fs::HostError(errno, ERROR_PATH_NOT_FOUND);
            }
        }
        return 0;
    }

    DWORD Parent(const PathParts& path, stdfs::path& folder) {
        if (path.empty()) return ERROR_ACCESS_DENIED;
        return StoreFolder(PathParts(path.begin(), path.end() - 1), folder);
    }

    // The host path a new entry of this name gets.
    DWORD NewEntry(const PathParts& path, stdfs::path& host) {
        stdfs::path folder;
        if (DWORD error = Parent(path, folder); error != 0) return error;
        host = folder / ToUtf8(path.back());
        return 0;
    }

    stdfs::path root_;
    stdfs::path rom_;
    std::shared_ptr<fs::AttributeJournal> journal_;
};

namespace {

class HostStaged final : public StagedFile {
public:
    HostStaged(std::shared_ptr<HostFolderBackend::Impl> impl, PathParts target,
               stdfs::path temp, int fd)
        : impl_(std::move(impl)), target_(std::move(target)), temp_(std::move(temp)),
          data_(fd, impl_->journal_, KeyOf(target_)) {}
    ~HostStaged() override {
        if (!committed_) ::unlink(temp_.c_str());
    }

    FileData& Data() override { return data_; }

    DWORD Commit(DWORD attributes, const FileTimes& times) override {
        if (DWORD error = data_.SetTimes({std::nullopt, times.accessed, times.written});
            error != 0) {
            return error;
        }
        HostPlace place;
        stdfs::path final = temp_.parent_path() / ToUtf8(target_.back());
        if (impl_->Locate(target_, place) == 0 && place.store) {
            if (place.store->IsFolder()) return ERROR_ACCESS_DENIED;
            final = place.store->path;
        }
        if (::rename(temp_.c_str(), final.c_str()) != 0) {
            return fs::HostError(errno, ERROR_WRITE_FAULT);
        }
        committed_ = true;
        impl_->journal_->Put(KeyOf(target_), {attributes & kKeptBits, times.created.value_or(0)});
        return 0;
    }

private:
    std::shared_ptr<HostFolderBackend::Impl> impl_;
    PathParts target_;
    stdfs::path temp_;
    fs::HostFile data_;
    bool committed_ = false;
};

}  // namespace

HostFolderBackend::HostFolderBackend(HostFolderOptions options)
    : impl_(std::make_shared<Impl>(std::move(options))) {}

HostFolderBackend::~HostFolderBackend() = default;

DWORD HostFolderBackend::Stat(const PathParts& path, EntryInfo& info) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    info = impl_->Describe(KeyOf(path), place.store ? *place.store : *place.rom,
                           place.store.has_value());
    if (path.empty()) info.name.clear();
    return 0;
}

DWORD HostFolderBackend::List(const PathParts& folder, std::vector<EntryInfo>& entries) {
    HostPlace place;
    if (impl_->Locate(folder, place) != 0) return ERROR_PATH_NOT_FOUND;
    entries.clear();
    std::vector<std::u16string> seen;
    const std::string folderKey = KeyOf(folder);
    for (const auto* host : {&place.store, &place.rom}) {
        if (!*host || !(*host)->IsFolder()) continue;
        DIR* dir = ::opendir((*host)->path.c_str());
        if (dir == nullptr) continue;
        while (dirent* entry = ::readdir(dir)) {
            auto name = CeNameOf(entry->d_name);
            if (!name) continue;
            auto folded = Folded(*name);
            if (std::find(seen.begin(), seen.end(), folded) != seen.end()) continue;
            auto child = StatEntry((*host)->path / entry->d_name);
            if (!child) continue;
            entries.push_back(impl_->Describe(folderKey + "\\" + ToUtf8(folded), *child,
                                              host == &place.store));
            seen.push_back(std::move(folded));
        }
        ::closedir(dir);
    }
    // The host's own order means nothing; names in order make listings repeatable.
    std::sort(entries.begin(), entries.end(), [](const EntryInfo& a, const EntryInfo& b) {
        return CompareIgnoreCase(a.name, b.name) < 0;
    });
    return 0;
}

DWORD HostFolderBackend::CreateFolder(const PathParts& path, FileTimeTicks now) {
    stdfs::path host;
    if (DWORD error = impl_->NewEntry(path, host); error != 0) return error;
    if (::mkdir(host.c_str(), 0777) != 0) return fs::HostError(errno, ERROR_PATH_NOT_FOUND);
    impl_->journal_->Put(KeyOf(path), {0, now});
    return 0;
}

DWORD HostFolderBackend::RemoveFolder(const PathParts& path) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    if (!place.store) return ERROR_ACCESS_DENIED;
    if (!place.store->IsFolder()) return ERROR_DIRECTORY;
    std::vector<EntryInfo> entries;
    if (place.rom && List(path, entries) == 0 && !entries.empty()) return ERROR_DIR_NOT_EMPTY;
    if (::rmdir(place.store->path.c_str()) != 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    impl_->journal_->Erase(KeyOf(path));
    return 0;
}

DWORD HostFolderBackend::CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                                    std::unique_ptr<FileData>& file) {
    stdfs::path host;
    if (DWORD error = impl_->NewEntry(path, host); error != 0) return error;
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    const auto key = KeyOf(path);
    impl_->journal_->Put(key, {attributes & kKeptBits, now});
    auto data = std::make_unique<fs::HostFile>(fd, impl_->journal_, key);
    (void)data->SetTimes({std::nullopt, now, now});
    file = std::move(data);
    return 0;
}

DWORD HostFolderBackend::OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    const auto& host = place.store ? *place.store : *place.rom;
    if (host.IsFolder()) return ERROR_ACCESS_DENIED;
    // ROM files and files the host keeps read-only open for reading; writes then fail with 5.
    int fd = place.store ? ::open(host.path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    if (fd < 0) fd = ::open(host.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    file = std::make_unique<fs::HostFile>(fd, impl_->journal_, KeyOf(path));
    return 0;
}

DWORD HostFolderBackend::DeleteFile(const PathParts& path) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    if (!place.store) return ERROR_ACCESS_DENIED;
    if (place.store->IsFolder()) return ERROR_ACCESS_DENIED;
    if (::unlink(place.store->path.c_str()) != 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    impl_->journal_->Erase(KeyOf(path));
    return 0;
}

DWORD HostFolderBackend::SetAttributes(const PathParts& path, DWORD attributes) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    if (!place.store) return ERROR_ACCESS_DENIED;
    const auto key = KeyOf(path);
    auto kept = impl_->journal_->Get(key).value_or(fs::KeptMetadata{});
    kept.attributes = attributes & kKeptBits;
    impl_->journal_->Put(key, kept);
    if (!place.store->IsFolder()) {
        const mode_t mode = place.store->st.st_mode;
        ::chmod(place.store->path.c_str(),
                ((attributes & kReadOnly) ? (mode & ~0222) : (mode | S_IWUSR)) & 07777);
    }
    return 0;
}

DWORD HostFolderBackend::SetTimes(const PathParts& path, const FileTimes& times) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    if (!place.store) return ERROR_ACCESS_DENIED;
    struct timespec stamps[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (times.accessed) stamps[0] = fs::TimespecOf(*times.accessed);
    if (times.written) stamps[1] = fs::TimespecOf(*times.written);
    if (::utimensat(AT_FDCWD, place.store->path.c_str(), stamps, 0) != 0) {
        return fs::HostError(errno, ERROR_ACCESS_DENIED);
    }
    if (times.created) {
        const auto key = KeyOf(path);
        auto kept = impl_->journal_->Get(key).value_or(fs::KeptMetadata{});
        kept.created = *times.created;
        impl_->journal_->Put(key, kept);
    }
    return 0;
}

DWORD HostFolderBackend::StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) {
    stdfs::path folder;
    if (DWORD error = impl_->Parent(target, folder); error != 0) return error;
    const auto temp = folder / (ToUtf8(target.back()) + kStagedMark + std::to_string(::getpid()) +
                                "-" + std::to_string(++stagedCounter));
    const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    staged = std::make_unique<HostStaged>(impl_, target, temp, fd);
    return 0;
}

}  // namespace platform
