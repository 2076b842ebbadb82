#include "host_anchors.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform::fs {

HostAnchors::~HostAnchors() {
    for (size_t i = 0; i < count_.load(std::memory_order_acquire); ++i) ::close(held_[i].fd);
}

void HostAnchors::Hold(const std::string& folder) {
    std::lock_guard lock(adding_);
    const size_t count = count_.load(std::memory_order_relaxed);
    if (count == held_.size()) return;
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    held_[count] = {folder, fd};
    count_.store(count + 1, std::memory_order_release);
}

HostAt HostAnchors::At(const std::string& path) const {
    const size_t count = count_.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        const auto& [folder, fd] = held_[i];
        if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) continue;
        if (path.size() == folder.size()) return {fd, "."};
        if (path[folder.size()] == '/') return {fd, path.c_str() + folder.size() + 1};
    }
    return {AT_FDCWD, path.c_str()};
}

}  // namespace platform::fs
