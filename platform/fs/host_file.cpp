#include "host_file.h"

#include <winerror.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::fs {
namespace {

// FILETIME counts 100 ns from 1601; the host counts from 1970.
constexpr uint64_t kEpochDifference = 116444736000000000ull;

}  // namespace

DWORD HostError(int error, DWORD otherwise) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EACCES:
    case EPERM:
    case EBADF: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return otherwise;
    }
}

FileTimeTicks TicksOf(const struct timespec& time) {
    const int64_t ticks = static_cast<int64_t>(time.tv_sec) * 10000000 + time.tv_nsec / 100;
    return static_cast<FileTimeTicks>(ticks + static_cast<int64_t>(kEpochDifference));
}

struct timespec TimespecOf(FileTimeTicks ticks) {
    const int64_t since1970 = static_cast<int64_t>(ticks) - static_cast<int64_t>(kEpochDifference);
    int64_t seconds = since1970 / 10000000;
    int64_t rest = since1970 % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

HostFile::HostFile(int fd, std::shared_ptr<AttributeJournal> journal, std::string key)
    : fd_(fd), journal_(std::move(journal)), key_(std::move(key)) {}

HostFile::~HostFile() { ::close(fd_); }

DWORD HostFile::Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) {
    done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, static_cast<char*>(buffer) + done, count - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return HostError(errno, ERROR_READ_FAULT);
        done += static_cast<DWORD>(got);
        // A regular file reads short only at its end: asking again would just return nothing.
        if (got == 0 || done < count) break;
    }
    return 0;
}

DWORD HostFile::Write(uint64_t offset, const void* buffer, DWORD count) {
    DWORD done = 0;
    while (done < count) {
        const ssize_t put = ::pwrite(fd_, static_cast<const char*>(buffer) + done, count - done,
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return HostError(errno, ERROR_WRITE_FAULT);
        done += static_cast<DWORD>(put);
    }
    return 0;
}

DWORD HostFile::Resize(uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return HostError(errno, ERROR_WRITE_FAULT);
    return 0;
}

uint64_t HostFile::Size() {
    struct stat st{};
    return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

DWORD HostFile::SetTimes(const FileTimes& times) {
    struct timespec stamps[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (times.accessed) stamps[0] = TimespecOf(*times.accessed);
    if (times.written) stamps[1] = TimespecOf(*times.written);
    if ((times.accessed || times.written) && ::futimens(fd_, stamps) != 0) {
        return HostError(errno, ERROR_ACCESS_DENIED);
    }
    if (times.created) {
        auto kept = journal_->Get(key_).value_or(KeptMetadata{});
        kept.created = *times.created;
        journal_->Put(key_, kept);
    }
    return 0;
}

DWORD HostFile::GetTimes(FileTimeTicks& created, FileTimeTicks& accessed,
                         FileTimeTicks& written) {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) return HostError(errno, ERROR_READ_FAULT);
    accessed = TicksOf(st.st_atim);
    written = TicksOf(st.st_mtim);
    const auto kept = journal_->Get(key_);
    created = kept && kept->created != 0 ? kept->created : written;
    return 0;
}

}  // namespace platform::fs
