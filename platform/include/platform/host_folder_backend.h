// The object store kept in a host folder, so a person can look at the files: every CE file is a
// plain host file of the same name. What the host cannot hold (hidden, system, archive, read-only
// when running as root, creation times) is kept in an attribute journal beside the folder and
// survives restarts. An optional second folder supplies ROM files: they appear merged into the
// store with the in-ROM attribute and cannot be changed. It is read when the store is mounted,
// as ROM does not change while the handheld runs.
#pragma once

#include <filesystem>
#include <memory>

#include "file_backend.h"

namespace platform {

struct HostFolderOptions {
    std::filesystem::path folder;
    // Default: the folder's path with ".attributes" appended.
    std::filesystem::path journal;
    std::filesystem::path romFolder;  // empty: no ROM files
};

class HostFolderBackend final : public FileBackend {
public:
    // Creates the folder when it is missing.
    explicit HostFolderBackend(HostFolderOptions options);
    ~HostFolderBackend() override;

    DWORD Stat(const PathParts& path, EntryInfo& info) override;
    DWORD Exists(const PathParts& path) override;
    DWORD List(const PathParts& folder, std::vector<EntryInfo>& entries) override;
    DWORD ListNames(const PathParts& folder, std::vector<std::u16string>& names) override;
    DWORD ListNamesWithView(const PathParts& folder, std::vector<std::u16string>& names,
                            std::unique_ptr<FolderView>& view) override;
    DWORD CreateFolder(const PathParts& path, FileTimeTicks now) override;
    DWORD RemoveFolder(const PathParts& path) override;
    DWORD CreateFile(const PathParts& path, DWORD attributes, FileTimeTicks now,
                     std::unique_ptr<FileData>& file) override;
    DWORD OpenFile(const PathParts& path, std::unique_ptr<FileData>& file) override;
    DWORD DeleteFile(const PathParts& path) override;
    DWORD SetAttributes(const PathParts& path, DWORD attributes) override;
    DWORD SetTimes(const PathParts& path, const FileTimes& times) override;
    DWORD StageFile(const PathParts& target, std::unique_ptr<StagedFile>& staged) override;

    class Impl;

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace platform
