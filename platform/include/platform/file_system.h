// Host-side controls of the CE name space: which backend holds the root and which are mounted
// as folders of the root (a drive's disk at \<folder>).
#pragma once

#include <memory>
#include <string_view>

#include "file_backend.h"

namespace platform {

// Replaces the root's backend. Open handles keep the backend they were opened on.
void MountRoot(std::shared_ptr<FileBackend> backend);
std::shared_ptr<FileBackend> RootBackend();
// Mounts a backend as the root folder \<name>. 183 when the name is mounted already, 123 for a
// name that is not a single valid name.
DWORD Mount(std::u16string_view name, std::shared_ptr<FileBackend> backend);
// 2 when nothing is mounted under that name.
DWORD Unmount(std::u16string_view name);
// Back to an empty memory root and no mounts (for tests).
void ResetFileSystem();

}  // namespace platform
