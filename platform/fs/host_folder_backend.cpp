#include <platform/host_folder_backend.h>

#include "attribute_journal.h"
#include "host_anchors.h"
#include "host_file.h"
#include "host_folder_records.h"
#include "host_name_cache.h"
#include "host_names.h"
#include "host_stat_memo.h"
#include "rom_tree.h"

#include <platform/text.h>
#include <winerror.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <span>
#include <sys/stat.h>
#include <unordered_set>
#include <unistd.h>

namespace stdfs = std::filesystem;

namespace platform {
namespace {

constexpr DWORD kReadOnly = 0x01, kFolder = 0x10, kInRom = 0x40;
constexpr DWORD kKeptBits = 0x01 | 0x02 | 0x04 | 0x20;
// Staged copies carry a character no CE name may hold, so no listing ever shows them.
constexpr char kStagedMark[] = "|staged-";
// The store's own folder for staged copies: beside the store folder, as the journal is, so the
// store folder holds nothing but the CE entries.
constexpr char kStagingSuffix[] = ".staging";

std::atomic<uint64_t> stagedCounter{0};

// One host entry with what the host says about it. Paths stay plain strings: a look-up builds
// several, and std::filesystem::path parses each one into parts.
struct HostEntry {
    std::string path;
    struct stat st{};
    bool IsFolder() const { return S_ISDIR(st.st_mode); }
};

std::string Join(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    path += '/';
    path += name;
    return path;
}

std::string_view FileNameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

// The standard library looks a name up in a set of up to twenty strings hashed by std::hash by
// comparing it with each in turn; a folder's names share long starts, so a listing spent more
// there than in its host calls. A hash of its own makes every look-up a hashed one.
struct NameHash {
    size_t operator()(const std::u16string& name) const noexcept {
        return std::hash<std::u16string_view>{}(name);
    }
};

std::string ParentOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string KeyOf(const PathParts& path) {
    std::string key;
    for (const auto& part : path) {
        key += '\\';
        fs::AppendFoldedUtf8(key, part);
    }
    return key;
}

std::string ParentKeyOf(const PathParts& path) {
    std::string key;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        key += '\\';
        fs::AppendFoldedUtf8(key, path[i]);
    }
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
        : root_(WithoutTrailingSeparator(options.folder)), rom_(std::move(options.romFolder)),
          romTree_(rom_.native()), names_(anchors_) {
        std::error_code error;
        stdfs::create_directories(root_, error);
        anchors_.Hold(root_.native());
        if (!rom_.empty()) anchors_.Hold(rom_.native());
        auto journalFile = options.journal;
        if (journalFile.empty()) {
            journalFile = root_;
            journalFile += ".attributes";  // beside the folder, never inside it
        }
        stdfs::create_directories(journalFile.parent_path(), error);
        journal_ = std::make_shared<fs::AttributeJournal>(journalFile);
    }

    // Within one step of a file API call, a path asked about again is answered as it was.
    std::optional<HostEntry> StatEntry(std::string path) const {
        HostEntry entry{std::move(path)};
        if (!fs::StatInStep(entry.path, anchors_, entry.st)) return std::nullopt;
        return entry;
    }

    // path as the host's *at() calls take it.
    fs::HostAt At(const std::string& path) const { return anchors_.At(path); }

    // The CE name of a host entry in the folder with key folderKey. ROM folders hold plain
    // names only.
    std::optional<std::u16string> CeNameOf(const std::string& folderKey,
                                           std::string_view hostName, bool inStore) {
        return CeNameOf([&] { return folderKey; }, hostName, inStore);
    }

    // The same with the folder's key made only when a shortened name needs it.
    template <class FolderKey>
    std::optional<std::u16string> CeNameOf(const FolderKey& folderKey, std::string_view hostName,
                                           bool inStore) {
        if (!inStore || !fs::IsShortenedHostName(hostName)) return fs::PlainCeNameOf(hostName);
        auto name = journal_->LongName(folderKey() + "\\" + std::string(hostName));
        return name ? FromUtf8(*name) : std::nullopt;
    }

    // The entry of folder whose name matches without regard to case. The host name of the
    // spelling asked for is tried first when exactFirst: it is the common case and costs one
    // stat. Otherwise, and when that fails, the folder's names answer: read once, kept for as
    // long as the folder stays as it was.
    // folderKey makes the folder's key (a shortened name's look-up in the journal needs it).
    template <class FolderKey>
    std::optional<HostEntry> FindChild(const HostEntry& folder, const FolderKey& folderKey,
                                       std::u16string_view name, bool exactFirst) {
        const auto hostName = fs::HostNameOf(name);
        auto exact = [&]() -> std::optional<HostEntry> {
            auto entry = StatEntry(Join(folder.path, hostName));
            if (!entry) return std::nullopt;
            const auto found = CeNameOf(folderKey, hostName, true);
            return found && EqualsIgnoreCase(*found, name) ? entry : std::nullopt;
        };
        if (exactFirst) {
            if (auto entry = exact()) return entry;
        }
        const auto kept = names_.Find(
            folder.path, folder.st, Folded(name),
            [&](std::string_view entry) { return CeNameOf(folderKey, entry, true); });
        if (!kept) return std::nullopt;
        // Where the host holds several spellings, the one asked for wins.
        if (!exactFirst && !kept->alone && kept->hostName != hostName) {
            if (auto entry = exact()) return entry;
        }
        return StatEntry(Join(folder.path, kept->hostName));
    }

    // The store's entry at path. reached is how many parts were found (every one before the
    // last a folder); the entry is there only when all were. The path spelled as on the host
    // costs one stat. A last name missing under that spelling costs one more, of its folder,
    // whose names are then kept: while look-ups there keep missing (a folder being filled, even
    // across the store's own additions) they start from the folder's stat, so a miss costs that
    // one stat; after a hit they start from the whole path again. Only when the folder is not
    // there is the path walked one part at a time.
    std::optional<HostEntry> WalkStore(const PathParts& path, size_t& reached) {
        reached = 0;
        if (auto host = ExactHostPath(root_, path)) {
            std::string folderPath =
                path.size() == 1 ? root_.native() : host->substr(0, host->rfind('/'));
            if (!names_.LastMissed(folderPath)) {
                if (auto whole = StatEntry(std::move(*host))) {
                    reached = path.size();
                    return whole;
                }
            }
            const auto folder = StatEntry(std::move(folderPath));
            if (folder && folder->IsFolder()) {
                reached = path.size() - 1;
                auto last =
                    FindChild(*folder, [&] { return ParentKeyOf(path); }, path.back(), false);
                if (last) reached = path.size();
                return last;
            }
        }
        auto place = StatEntry(root_.native());
        if (!place || !place->IsFolder()) return std::nullopt;
        std::string key;
        for (size_t i = 0; i < path.size(); ++i) {
            auto next = FindChild(*place, [&] { return key; }, path[i], true);
            if (!next || (i + 1 < path.size() && !next->IsFolder())) return std::nullopt;
            key += '\\';
            fs::AppendFoldedUtf8(key, path[i]);
            place = std::move(next);
            reached = i + 1;
        }
        return place;
    }

    // The common case in one stat: every part stored under the host name of the spelling asked
    // for. Nothing when any part is not (another spelling, a shortened name, missing), and the
    // walk then looks part by part.
    std::optional<HostEntry> ExactPath(const stdfs::path& base, const PathParts& path) {
        auto host = ExactHostPath(base, path);
        return host ? StatEntry(std::move(*host)) : std::nullopt;
    }

    // The host path under which each part would be stored with the spelling asked for.
    static std::optional<std::string> ExactHostPath(const stdfs::path& base,
                                                    const PathParts& path) {
        std::string host = base.native();
        for (const auto& part : path) {
            host += '/';
            if (!fs::AppendPlainHostName(host, part)) return std::nullopt;
        }
        return host;
    }

    // A ROM entry as the store's look-ups hand entries on.
    static std::optional<HostEntry> RomEntry(const fs::RomTree::Entry* entry) {
        if (entry == nullptr) return std::nullopt;
        return HostEntry{entry->path, entry->st};
    }

    // The ROM's entry at path, with reached as WalkStore gives it for the store.
    std::optional<HostEntry> RomSide(const PathParts& path, size_t& reached) const {
        reached = 0;
        std::string key;
        const fs::RomTree::Entry* entry = nullptr;  // the last part's, once the walk is through
        for (size_t i = 0; i < path.size(); ++i) {
            key += '\\';
            fs::AppendFoldedUtf8(key, path[i]);
            entry = romTree_.Find(key);
            if (entry == nullptr || (i + 1 < path.size() && !entry->IsFolder())) {
                return std::nullopt;
            }
            reached = i + 1;
        }
        return RomEntry(entry);
    }

    // 2 for a missing last part, 3 for a missing or non-folder part before it. The store and
    // the ROM folder are walked each on its own; a part is missing when neither has it.
    DWORD Locate(const PathParts& path, HostPlace& place) {
        place = HostPlace{};
        if (path.empty()) {
            place.store = StatEntry(root_.native());
            place.rom = RomEntry(romTree_.Find(std::string()));
            return 0;
        }
        size_t storeReached = 0, romReached = 0;
        place.store = WalkStore(path, storeReached);
        place.rom = RomSide(path, romReached);
        if (place.Exists()) return 0;
        return std::max(storeReached, romReached) + 1 == path.size() ? ERROR_FILE_NOT_FOUND
                                                                     : ERROR_PATH_NOT_FOUND;
    }

    EntryInfo Describe(const std::string& key, std::u16string name, const HostEntry& host,
                       bool inStore) {
        EntryInfo info;
        info.name = std::move(name);
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
    // exists only in ROM. A store folder spelled as on the host is found with one stat.
    DWORD StoreFolder(const PathParts& folder, HostEntry& host) {
        if (auto exact = ExactPath(root_, folder); exact && exact->IsFolder()) {
            host = std::move(*exact);
            return 0;
        }
        auto store = StatEntry(root_.native());
        if (!store) return ERROR_PATH_NOT_FOUND;
        const fs::RomTree::Entry* rom = romTree_.Find(std::string());
        std::string key;
        for (const auto& part : folder) {
            auto inStore = FindChild(*store, [&] { return key; }, part, true);
            key += '\\';
            fs::AppendFoldedUtf8(key, part);
            rom = rom != nullptr ? romTree_.Find(key) : nullptr;
            if (rom != nullptr && !rom->IsFolder()) rom = nullptr;
            if (inStore) {
                if (!inStore->IsFolder()) return ERROR_PATH_NOT_FOUND;
                store = std::move(inStore);
                continue;
            }
            if (rom == nullptr) return ERROR_PATH_NOT_FOUND;
            const auto made = Join(store->path, FileNameOf(rom->path));
            const auto at = At(made);
            if (::mkdirat(at.folder, at.name, 0777) != 0 && errno != EEXIST) {
                return fs::HostError(errno, ERROR_PATH_NOT_FOUND);
            }
            fs::NoteStoreChange();
            names_.Forget(store->path);
            store = StatEntry(made);
            if (!store || !store->IsFolder()) return ERROR_PATH_NOT_FOUND;
        }
        host = std::move(*store);
        return 0;
    }

    DWORD Parent(const PathParts& path, HostEntry& folder) {
        if (path.empty()) return ERROR_ACCESS_DENIED;
        return StoreFolder(PathParts(path.begin(), path.end() - 1), folder);
    }

    // The host path a new entry of this name gets.
    DWORD NewEntry(const PathParts& path, std::string& host) {
        HostEntry folder;
        if (DWORD error = Parent(path, folder); error != 0) return error;
        host = Join(folder.path, fs::HostNameOf(path.back()));
        return 0;
    }

    // Keeps the full spelling of an entry just made under a shortened host name.
    void NameCreated(const PathParts& path, const std::string& host) {
        const std::string hostName(FileNameOf(host));
        if (fs::IsShortenedHostName(hostName)) {
            journal_->PutLongName(ParentKeyOf(path) + "\\" + hostName, ToUtf8(path.back()));
        }
    }

    void NameRemoved(const PathParts& path, const std::string& host) {
        const std::string hostName(FileNameOf(host));
        if (fs::IsShortenedHostName(hostName)) {
            journal_->EraseLongName(ParentKeyOf(path) + "\\" + hostName);
        }
    }

    // Where a copy into folder is staged: the store's staging folder when a rename can move it
    // from there (same host file system and mount; a bind mount of the same file system inside
    // the store would still refuse the rename, and the copy fail with 29), else folder itself.
    // Staged apart, a copy leaves its target's folder unchanged until it is put in place, so
    // the kept read of the folder's names still answers the check made after the data moved.
    std::string StagingFolderFor(const HostEntry& folder) {
        std::call_once(stagingMade_, [this] {
            const std::string path = root_.native() + kStagingSuffix;
            if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return;
            anchors_.Hold(path);
            auto entry = StatEntry(path);
            if (!entry || !entry->IsFolder()) return;
            // One rename into the store proves the two are on one mount (a bind mount of the
            // same file system has the same device yet refuses it).
            const std::string probe =
                std::string(kStagedMark) + "probe-" + std::to_string(::getpid());
            const std::string from = Join(path, probe), to = Join(root_.native(), probe);
            const auto fromAt = At(from), toAt = At(to);
            const int fd =
                ::openat(fromAt.folder, fromAt.name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) return;
            ::close(fd);
            const bool moves = ::renameat(fromAt.folder, fromAt.name, toAt.folder, toAt.name) == 0;
            const auto left = moves ? toAt : fromAt;
            ::unlinkat(left.folder, left.name, 0);
            if (moves) staging_ = std::move(entry);
        });
        return staging_ && staging_->st.st_dev == folder.st.st_dev ? staging_->path : folder.path;
    }

    // keptStoreFolder, when given, receives the store folder's open descriptor (-1 when the
    // store has no such folder), for the caller to close.
    template <class Found>
    DWORD ForEachEntry(const PathParts& folder, const Found& found, int* keptStoreFolder = nullptr);

    stdfs::path root_;
    stdfs::path rom_;
    fs::RomTree romTree_;  // the ROM folder as it was when the store was mounted
    fs::HostAnchors anchors_;
    std::once_flag stagingMade_;
    std::optional<HostEntry> staging_;
    std::shared_ptr<fs::AttributeJournal> journal_;
    // Forgotten for every change of a CE name here; staged files are no CE names.
    fs::HostNameCache names_;
};

namespace {

class HostStaged final : public StagedFile {
public:
    HostStaged(std::shared_ptr<HostFolderBackend::Impl> impl, PathParts target,
               std::string folder, std::string temp, int fd)
        : impl_(std::move(impl)), target_(std::move(target)), folder_(std::move(folder)),
          temp_(std::move(temp)), data_(fd, impl_->journal_, KeyOf(target_)) {}
    ~HostStaged() override {
        if (!committed_) {
            const auto at = impl_->At(temp_);
            ::unlinkat(at.folder, at.name, 0);
        }
    }

    FileData& Data() override { return data_; }

    DWORD Commit(DWORD attributes, const FileTimes& times) override {
        if (DWORD error = data_.SetTimes({std::nullopt, times.accessed, times.written});
            error != 0) {
            return error;
        }
        HostPlace place;
        std::string final = Join(folder_, fs::HostNameOf(target_.back()));
        const bool replaces = impl_->Locate(target_, place) == 0 && place.store;
        if (replaces) {
            if (place.store->IsFolder()) return ERROR_ACCESS_DENIED;
            final = place.store->path;
        }
        const auto from = impl_->At(temp_), to = impl_->At(final);
        if (::renameat(from.folder, from.name, to.folder, to.name) != 0) {
            return fs::HostError(errno, ERROR_WRITE_FAULT);
        }
        fs::NoteStoreChange();
        committed_ = true;
        if (replaces) {
            impl_->names_.Forget(ParentOf(final));
        } else {
            impl_->names_.Added(ParentOf(final));
        }
        if (!replaces) impl_->NameCreated(target_, final);
        impl_->journal_->Put(KeyOf(target_), {attributes & kKeptBits, times.created.value_or(0)});
        return 0;
    }

private:
    std::shared_ptr<HostFolderBackend::Impl> impl_;
    PathParts target_;
    std::string folder_;  // the target's folder on the host
    std::string temp_;
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
    const auto& host = place.store ? *place.store : *place.rom;
    const std::string key = KeyOf(path);
    std::u16string name;
    if (!path.empty()) {
        // Names hold no "\\", so the parent's key is the key up to its last one.
        name = impl_->CeNameOf([&] { return key.substr(0, key.rfind('\\')); },
                               FileNameOf(host.path), place.store.has_value())
                   .value_or(path.back());
    }
    info = impl_->Describe(key, std::move(name), host, place.store.has_value());
    return 0;
}

// Calls found(inStore, folder's key, CE name, its folded form, the open folder, host name, the
// entry's stat when known) for every entry of the CE folder, the store's before the ROM's,
// each CE name once. ROM entries come from the ROM read at mount, with their stat and no open
// folder (-1).
template <class Found>
DWORD HostFolderBackend::Impl::ForEachEntry(const PathParts& folder, const Found& found,
                                           int* keptStoreFolder) {
    HostPlace place;
    if (Locate(folder, place) != 0) return ERROR_PATH_NOT_FOUND;
    // Hashed: a folder of thousands of names must not cost a comparison of every pair.
    std::unordered_set<std::u16string, NameHash> seen;
    const std::string folderKey = KeyOf(folder);
    if (place.store && place.store->IsFolder()) {
        const auto at = At(place.store->path);
        const int fd = ::openat(at.folder, at.name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            std::vector<char> records;
            fs::ReadFolderRecords(fd, records);  // what was read before a failure still lists
            fs::ForEachRecord(records, [&](const struct dirent64& entry) {
                auto name = CeNameOf(folderKey, entry.d_name, true);
                if (!name) return;
                auto folded = Folded(*name);
                if (seen.contains(folded)) return;
                if (found(true, folderKey, *name, folded, fd, entry.d_name, nullptr)) {
                    seen.insert(std::move(folded));
                }
            });
            if (keptStoreFolder != nullptr) {
                *keptStoreFolder = fd;
            } else {
                ::close(fd);
            }
        }
    }
    const auto* rom = place.rom && place.rom->IsFolder() ? romTree_.Find(folderKey) : nullptr;
    const std::span<const uint32_t> romChildren =
        rom != nullptr ? std::span<const uint32_t>(rom->children) : std::span<const uint32_t>();
    for (const uint32_t index : romChildren) {
        const auto& entry = romTree_.At(index);
        std::u16string name = entry.name;
        auto folded = Folded(name);
        if (seen.contains(folded)) continue;
        // The path's last part, which ends where the string does.
        const char* hostName = entry.path.c_str() + entry.path.rfind('/') + 1;
        if (found(false, folderKey, name, folded, -1, hostName, &entry.st)) {
            seen.insert(std::move(folded));
        }
    }
    return 0;
}

DWORD HostFolderBackend::Exists(const PathParts& path) {
    HostPlace place;
    return impl_->Locate(path, place);
}

DWORD HostFolderBackend::List(const PathParts& folder, std::vector<EntryInfo>& entries) {
    entries.clear();
    const DWORD error = impl_->ForEachEntry(
        folder, [&](bool inStore, const std::string& folderKey, std::u16string& name,
                    const std::u16string& folded, int folderFd, const char* hostName,
                    const struct stat* known) {
            // Looked up in the folder being read: the kernel need not walk its path again.
            HostEntry child;
            if (known != nullptr) {
                child.st = *known;
            } else if (::fstatat(folderFd, hostName, &child.st, 0) != 0) {
                return false;
            }
            std::string key = folderKey;
            key += '\\';
            fs::AppendFoldedUtf8(key, folded);
            entries.push_back(impl_->Describe(key, std::move(name), child, inStore));
            return true;
        });
    if (error != 0) return error;
    // The host's own order means nothing; names in order make listings repeatable.
    std::sort(entries.begin(), entries.end(), [](const EntryInfo& a, const EntryInfo& b) {
        return CompareIgnoreCase(a.name, b.name) < 0;
    });
    return 0;
}

namespace {

// No entry is looked at: the listing looks each up as it hands it out, and passes over one
// that is gone (or that no stat reaches, as List leaves it out).
DWORD ListNamesOf(HostFolderBackend::Impl& impl, const PathParts& folder,
                  std::vector<std::u16string>& names, int* keptStoreFolder) {
    names.clear();
    const DWORD error = impl.ForEachEntry(
        folder,
        [&](bool, const std::string&, std::u16string& name, const std::u16string&, int,
            const char*, const struct stat*) {
            names.push_back(std::move(name));
            return true;
        },
        keptStoreFolder);
    if (error != 0) return error;
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return CompareIgnoreCase(a, b) < 0;
    });
    return 0;
}

// The store folder a listing holds. An entry under a plain name is looked up there with one
// stat of that name alone; a shortened name, an entry only in ROM and one gone meanwhile are
// left to the look-up by path. Held open, the folder is the one the listing read even when the
// host moves it meanwhile, as a CE find handle keeps its folder.
class HostFolderView final : public FolderView {
public:
    HostFolderView(std::shared_ptr<HostFolderBackend::Impl> impl, int fd, std::string folderKey)
        : impl_(std::move(impl)), fd_(fd), folderKey_(std::move(folderKey)) {}
    ~HostFolderView() override { ::close(fd_); }
    HostFolderView(const HostFolderView&) = delete;
    HostFolderView& operator=(const HostFolderView&) = delete;

    DWORD Stat(const std::u16string& name, EntryInfo& info) override {
        HostEntry entry;
        if (!fs::AppendPlainHostName(entry.path, name) ||
            ::fstatat(fd_, entry.path.c_str(), &entry.st, 0) != 0) {
            return ERROR_FILE_NOT_FOUND;
        }
        std::string key = folderKey_;
        key += '\\';
        fs::AppendFoldedUtf8(key, name);
        info = impl_->Describe(key, name, entry, true);
        return 0;
    }

private:
    std::shared_ptr<HostFolderBackend::Impl> impl_;
    int fd_;
    std::string folderKey_;
};

}  // namespace

DWORD HostFolderBackend::ListNames(const PathParts& folder, std::vector<std::u16string>& names) {
    return ListNamesOf(*impl_, folder, names, nullptr);
}

DWORD HostFolderBackend::ListNamesWithView(const PathParts& folder,
                                           std::vector<std::u16string>& names,
                                           std::unique_ptr<FolderView>& view) {
    view.reset();
    int kept = -1;
    if (DWORD error = ListNamesOf(*impl_, folder, names, &kept); error != 0) return error;
    if (kept >= 0) view = std::make_unique<HostFolderView>(impl_, kept, KeyOf(folder));
    return 0;
}

DWORD HostFolderBackend::CreateFolder(const PathParts& path, FileTimeTicks now) {
    std::string host;
    if (DWORD error = impl_->NewEntry(path, host); error != 0) return error;
    const auto at = impl_->At(host);
    if (::mkdirat(at.folder, at.name, 0777) != 0) return fs::HostError(errno, ERROR_PATH_NOT_FOUND);
    fs::NoteStoreChange();
    impl_->names_.Forget(ParentOf(host));
    impl_->NameCreated(path, host);
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
    const auto at = impl_->At(place.store->path);
    if (::unlinkat(at.folder, at.name, AT_REMOVEDIR) != 0) {
        return fs::HostError(errno, ERROR_ACCESS_DENIED);
    }
    fs::NoteStoreChange();
    impl_->names_.Forget(place.store->path);
    impl_->names_.Forget(ParentOf(place.store->path));
    impl_->NameRemoved(path, place.store->path);
    impl_->journal_->Erase(KeyOf(path));
    return 0;
}

DWORD HostFolderBackend::CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                                    std::unique_ptr<FileData>& file) {
    std::string host;
    if (DWORD error = impl_->NewEntry(path, host); error != 0) return error;
    const auto at = impl_->At(host);
    const int fd = ::openat(at.folder, at.name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    fs::NoteStoreChange();
    impl_->names_.Added(ParentOf(host));
    impl_->NameCreated(path, host);
    const auto key = KeyOf(path);
    impl_->journal_->Put(key, {attributes & kKeptBits, now});
    auto data = std::make_unique<fs::HostFile>(fd, impl_->journal_, key);
    (void)data->SetTimes({std::nullopt, now, now});
    file = std::move(data);
    return 0;
}

DWORD HostFolderBackend::OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) {
    // A store file under its own spelling opens without a look-up: the store wins over the ROM,
    // and a folder or a file the host keeps read-only fails here and takes the long way.
    if (auto exact = impl_->ExactHostPath(impl_->root_, path); exact && !path.empty()) {
        const auto at = impl_->At(*exact);
        if (const int fd = ::openat(at.folder, at.name, O_RDWR | O_CLOEXEC); fd >= 0) {
            file = std::make_unique<fs::HostFile>(fd, impl_->journal_, KeyOf(path));
            return 0;
        }
    }
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    const auto& host = place.store ? *place.store : *place.rom;
    if (host.IsFolder()) return ERROR_ACCESS_DENIED;
    // ROM files and files the host keeps read-only open for reading; writes then fail with 5.
    const auto at = impl_->At(host.path);
    int fd = place.store ? ::openat(at.folder, at.name, O_RDWR | O_CLOEXEC) : -1;
    if (fd < 0) fd = ::openat(at.folder, at.name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    file = std::make_unique<fs::HostFile>(fd, impl_->journal_, KeyOf(path));
    return 0;
}

DWORD HostFolderBackend::DeleteFile(const PathParts& path) {
    HostPlace place;
    if (DWORD error = impl_->Locate(path, place); error != 0) return error;
    if (!place.store) return ERROR_ACCESS_DENIED;
    if (place.store->IsFolder()) return ERROR_ACCESS_DENIED;
    const auto at = impl_->At(place.store->path);
    if (::unlinkat(at.folder, at.name, 0) != 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    fs::NoteStoreChange();
    impl_->names_.Forget(ParentOf(place.store->path));
    impl_->NameRemoved(path, place.store->path);
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
        const auto at = impl_->At(place.store->path);
        ::fchmodat(at.folder, at.name,
                   ((attributes & kReadOnly) ? (mode & ~0222) : (mode | S_IWUSR)) & 07777, 0);
        fs::NoteStoreChange();
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
    const auto at = impl_->At(place.store->path);
    if (::utimensat(at.folder, at.name, stamps, 0) != 0) {
        return fs::HostError(errno, ERROR_ACCESS_DENIED);
    }
    fs::NoteStoreChange();
    if (times.created) {
        const auto key = KeyOf(path);
        auto kept = impl_->journal_->Get(key).value_or(fs::KeptMetadata{});
        kept.created = *times.created;
        impl_->journal_->Put(key, kept);
    }
    return 0;
}

DWORD HostFolderBackend::StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) {
    HostEntry folder;
    if (DWORD error = impl_->Parent(target, folder); error != 0) return error;
    // The start of the target's name tells a person what a staged file left by a crash was for.
    // The process id is taken once (a forked child shares it with its parent, so a name taken
    // already just moves the count on).
    static const std::string process = std::to_string(::getpid());
    const std::string start = std::string(fs::Utf8Prefix(fs::HostNameOf(target.back()), 200)) +
                              kStagedMark + process + "-";
    std::string place = impl_->StagingFolderFor(folder);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temp = Join(place, start + std::to_string(++stagedCounter));
        const auto at = impl_->At(temp);
        fd = ::openat(at.folder, at.name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        // A staging folder someone removed: beside the target then.
        if (fd < 0 && errno == ENOENT && place != folder.path) {
            place = folder.path;
            continue;
        }
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fs::HostError(errno, ERROR_ACCESS_DENIED);
    staged = std::make_unique<HostStaged>(impl_, target, folder.path, temp, fd);
    return 0;
}

}  // namespace platform
