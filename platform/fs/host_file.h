// An open host file as the file layer sees it, and the host's errors in CE numbers.
#pragma once

#include "attribute_journal.h"

#include <platform/file_backend.h>

#include <memory>

namespace platform::fs {

// errno of a failed host call, as CE reports that kind of failure.
DWORD HostError(int error, DWORD otherwise);

class HostFile final : public FileData {
public:
    HostFile(int fd, std::shared_ptr<AttributeJournal> journal, std::string key);
    ~HostFile() override;

    DWORD Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) override;
    DWORD Write(uint64_t offset, const void* buffer, DWORD count) override;
    DWORD Resize(uint64_t size) override;
    uint64_t Size() override;
    DWORD SetTimes(const FileTimes& times) override;
    DWORD GetTimes(FileTimeTicks& created, FileTimeTicks& accessed,
                   FileTimeTicks& written) override;


private:
    int fd_;
    std::shared_ptr<AttributeJournal> journal_;
    std::string key_;
};

FileTimeTicks TicksOf(const struct timespec& time);
struct timespec TimespecOf(FileTimeTicks ticks);

}  // namespace platform::fs
