// What a file system mounted in the CE name space provides. The layer above (the file API)
// owns the CE rules: path syntax, share modes, attribute enforcement, listings and whole-file
// copies; a backend only stores folders, files and their metadata and reports CE error numbers
// for what it alone can know (missing entries, full store, a medium's own faults).
//
// Paths reach a backend as validated name parts relative to its mount point; the empty list is
// the backend's root. Names compare without regard to letter case and keep their spelling.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../windef.h"
#include "clock.h"

namespace platform {

using PathParts = std::vector<std::u16string>;

struct EntryInfo {
    std::u16string name;
    DWORD attributes = 0;  // the stored bits; FILE_ATTRIBUTE_DIRECTORY marks a folder
    uint64_t size = 0;
    FileTimeTicks created = 0;
    FileTimeTicks accessed = 0;
    FileTimeTicks written = 0;

    bool IsFolder() const { return (attributes & 0x10u) != 0; }
};

struct FileTimes {
    std::optional<FileTimeTicks> created;
    std::optional<FileTimeTicks> accessed;
    std::optional<FileTimeTicks> written;
};

// The contents of one open file. Offsets are absolute; the layer keeps the file pointer.
class FileData {
public:
    virtual ~FileData() = default;
    [[nodiscard]] virtual DWORD Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) = 0;
    [[nodiscard]] virtual DWORD Write(uint64_t offset, const void* buffer, DWORD count) = 0;
    [[nodiscard]] virtual DWORD Resize(uint64_t size) = 0;
    virtual uint64_t Size() = 0;
    [[nodiscard]] virtual DWORD SetTimes(const FileTimes& times) = 0;
    [[nodiscard]] virtual DWORD GetTimes(FileTimeTicks& created, FileTimeTicks& accessed,
                                         FileTimeTicks& written) = 0;
};

// A file written aside and put in place of its target in one step, so a copy that fails midway
// leaves the target as it was. Dropping it without Commit discards it.
class StagedFile {
public:
    virtual ~StagedFile() = default;
    virtual FileData& Data() = 0;
    // Replaces (or creates) the target with the staged contents, attributes and times.
    [[nodiscard]] virtual DWORD Commit(DWORD attributes, const FileTimes& times) = 0;
};

// A folder a listing holds while it hands out the folder's entries, so that each is looked up
// where the listing found it, without walking the folder's path again.
class FolderView {
public:
    virtual ~FolderView() = default;
    // The entry of that name, described as Stat describes it, when the view can tell; anything
    // but 0 leaves the answer to a look-up by the entry's whole path.
    [[nodiscard]] virtual DWORD Stat(const std::u16string& name, EntryInfo& info) = 0;
};

class FileBackend {
public:
    virtual ~FileBackend() = default;

    // Missing last part: 2; a missing or non-folder part before it: 3.
    [[nodiscard]] virtual DWORD Stat(const PathParts& path, EntryInfo& info) = 0;
    // 0 when the entry is there, else what Stat fails with: for a caller that needs no more, so
    // a store may spare itself describing the entry.
    [[nodiscard]] virtual DWORD Exists(const PathParts& path) {
        EntryInfo info;
        return Stat(path, info);
    }
    // The entries of a folder, in the backend's own order.
    [[nodiscard]] virtual DWORD List(const PathParts& folder, std::vector<EntryInfo>& entries) = 0;
    // The names List would give, in the same order: a listing that looks each entry up as it
    // hands it out needs no more, and a store may spare itself describing every entry.
    [[nodiscard]] virtual DWORD ListNames(const PathParts& folder,
                                          std::vector<std::u16string>& names) {
        std::vector<EntryInfo> entries;
        if (DWORD error = List(folder, entries); error != 0) return error;
        names.clear();
        for (auto& entry : entries) names.push_back(std::move(entry.name));
        return 0;
    }
    // ListNames, with a view of the folder where the store keeps one (none: view left empty).
    [[nodiscard]] virtual DWORD ListNamesWithView(const PathParts& folder,
                                                  std::vector<std::u16string>& names,
                                                  std::unique_ptr<FolderView>& view) {
        view.reset();
        return ListNames(folder, names);
    }
    [[nodiscard]] virtual DWORD CreateFolder(const PathParts& path, FileTimeTicks now) = 0;
    [[nodiscard]] virtual DWORD RemoveFolder(const PathParts& path) = 0;
    // Creates an empty file in an existing folder; the entry must not exist yet.
    [[nodiscard]] virtual DWORD CreateFile(const PathParts& path, DWORD attributes,
                                           FileTimeTicks now, std::unique_ptr<FileData>& file) = 0;
    [[nodiscard]] virtual DWORD OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) = 0;
    [[nodiscard]] virtual DWORD DeleteFile(const PathParts& path) = 0;
    [[nodiscard]] virtual DWORD SetAttributes(const PathParts& path, DWORD attributes) = 0;
    [[nodiscard]] virtual DWORD SetTimes(const PathParts& path, const FileTimes& times) = 0;
    [[nodiscard]] virtual DWORD StageFile(const PathParts& target,
                                          std::unique_ptr<StagedFile>& staged) = 0;
    // A medium whose write protection is on refuses every change with 19.
    virtual bool WriteProtected() { return false; }
};

}  // namespace platform
