// Folder listings. A listing takes the matching names when it opens and looks each one up
// again as it hands it out: entries deleted meanwhile are passed over, the others come with
// their current data, and names added later are not reported. Where the store holds the
// folder for the listing (FolderView), an entry is looked up there first.
#include "ce_path.h"
#include "layer.h"

#include <platform/kernel_object.h>
#include <platform/text.h>

#include <cstring>
#include <optional>
#include <mutex>

namespace fs = platform::fs;

namespace platform::fs {
namespace {

class Listing final : public KernelObject {
public:
    // The first handedOut names were handed out already.
    Listing(PathParts folder, std::vector<std::u16string> names, size_t handedOut = 0,
            std::unique_ptr<FolderView> view = nullptr)
        : folder_(std::move(folder)), names_(std::move(names)), next_(handedOut),
          view_(std::move(view)) {}

    // The next entry that still exists, or 18 at the end.
    DWORD Next(EntryInfo& info) {
        std::lock_guard lock(mutex_);
        while (next_ < names_.size()) {
            const std::u16string& name = names_[next_++];
            if (view_ && view_->Stat(name, info) == 0) return 0;
            PathParts path = folder_;
            path.push_back(name);
            if (StatResolved(Resolve(std::move(path)), info) == 0) return 0;
        }
        return ERROR_NO_MORE_FILES;
    }

private:
    std::mutex mutex_;
    PathParts folder_;
    std::vector<std::u16string> names_;
    size_t next_ = 0;
    std::unique_ptr<FolderView> view_;  // keeps what it needs of its store alive
};

bool HasWildcards(std::u16string_view mask) {
    return mask.find_first_of(u"*?") != std::u16string_view::npos;
}

// A mask without wildcards matches one name at most, so the entry is looked up by name rather
// than found in a listing of its whole folder. The answer is the listing's: the entry the
// listing would hand out first, or 18 for a folder without it. Nothing when only the listing
// can tell (a missing folder or a store's own failure): it then runs as for any mask.
std::optional<DWORD> FindByName(const PathParts& folder, const std::u16string& mask,
                                EntryInfo& info) {
    PathParts path = folder;
    path.push_back(mask);
    const DWORD found = StatResolved(Resolve(std::move(path)), info);
    // Missing last part: the folder is there and holds no such entry.
    if (found == ERROR_FILE_NOT_FOUND) return ERROR_NO_MORE_FILES;
    if (found != 0) return std::nullopt;
    // The store may find the entry under a spelling the mask does not match as a listing matches
    // names (a FAT short name, say): the listing would not report it.
    return MatchesPattern(info.name, mask) ? 0 : ERROR_NO_MORE_FILES;
}

DWORD ListFolder(const PathParts& folder, std::vector<std::u16string>& names,
                 std::unique_ptr<FolderView>& view) {
    const Resolved where = Resolve(folder);
    EntryInfo self;
    const DWORD found = StatResolved(where, self);
    if (found != 0 || !self.IsFolder()) return ERROR_PATH_NOT_FOUND;
    // The root's names include the mount points, which only the mount table can look up.
    const DWORD error = where.IsRoot()
                            ? where.backend->ListNames(where.relative, names)
                            : where.backend->ListNamesWithView(where.relative, names, view);
    if (error != 0) return error;
    if (where.IsRoot()) {
        // A mount point hides whatever the root's own store holds under that name.
        std::erase_if(names, [](const std::u16string& name) { return IsMountName(name); });
        for (auto& mount : MountPointEntries()) names.push_back(std::move(mount.name));
    }
    return 0;
}

void Fill(const EntryInfo& info, WIN32_FIND_DATA& data) {
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = ReportedAttributes(info);
    data.ftCreationTime = ToFileTime(info.created);
    data.ftLastAccessTime = ToFileTime(info.accessed);
    data.ftLastWriteTime = ToFileTime(info.written);
    data.nFileSizeHigh = info.IsFolder() ? 0 : static_cast<DWORD>(info.size >> 32);
    data.nFileSizeLow = info.IsFolder() ? 0 : static_cast<DWORD>(info.size);
    const size_t length = std::min(info.name.size(), static_cast<size_t>(MAX_PATH - 1));
    std::memcpy(data.cFileName, info.name.data(), length * sizeof(WCHAR));
}

}  // namespace
}  // namespace platform::fs

HANDLE FindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATA findData) {
    if (findData == nullptr) return fs::FailHandle(ERROR_INVALID_PARAMETER);
    platform::PathParts parts;
    if (DWORD error = fs::ParseCePath(pattern, fs::PathUse::Pattern, parts); error != 0) {
        return fs::FailHandle(error);
    }
    if (parts.empty()) return fs::FailHandle(ERROR_FILE_NOT_FOUND);
    const std::u16string mask = parts.back();
    parts.pop_back();
    if (!fs::HasWildcards(mask)) {
        platform::EntryInfo entry;
        if (const auto result = fs::FindByName(parts, mask, entry)) {
            if (*result != 0) return fs::FailHandle(*result);
            fs::Fill(entry, *findData);
            return platform::RegisterHandle(std::make_shared<fs::Listing>(
                std::move(parts), std::vector<std::u16string>{entry.name}, 1));
        }
    }
    std::vector<std::u16string> names;
    std::unique_ptr<platform::FolderView> view;
    if (DWORD error = fs::ListFolder(parts, names, view); error != 0) return fs::FailHandle(error);
    std::erase_if(names, [&](const std::u16string& name) { return !fs::MatchesPattern(name, mask); });
    auto listing =
        std::make_shared<fs::Listing>(std::move(parts), std::move(names), 0, std::move(view));
    platform::EntryInfo first;
    if (DWORD error = listing->Next(first); error != 0) return fs::FailHandle(error);
    fs::Fill(first, *findData);
    return platform::RegisterHandle(std::move(listing));
}

BOOL FindNextFile(HANDLE listing, LPWIN32_FIND_DATA findData) {
    auto object = platform::LookupHandleAs<fs::Listing>(listing);
    if (!object) return fs::Fail(ERROR_INVALID_HANDLE);
    if (findData == nullptr) return fs::Fail(ERROR_INVALID_PARAMETER);
    platform::EntryInfo info;
    if (DWORD error = object->Next(info); error != 0) return fs::Fail(error);
    fs::Fill(info, *findData);
    return TRUE;
}

BOOL FindClose(HANDLE listing) {
    if (!platform::LookupHandleAs<fs::Listing>(listing)) return fs::Fail(ERROR_INVALID_HANDLE);
    return CloseHandle(listing);
}
