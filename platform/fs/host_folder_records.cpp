#include "host_folder_records.h"

#include <memory>

namespace platform::fs {
namespace {

constexpr size_t kReadBytes = 32 * 1024;

}  // namespace

bool ReadFolderRecords(int fd, std::vector<char>& records) {
    // One buffer a thread: a restore reads a folder again after every file it adds there.
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
    records.clear();
    ssize_t got;
    while ((got = ::getdents64(fd, buffer.get(), kReadBytes)) > 0) {
        records.insert(records.end(), buffer.get(), buffer.get() + got);
    }
    return got == 0;
}

}  // namespace platform::fs
