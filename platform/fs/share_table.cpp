#include "share_table.h"

#include "host_names.h"

#include <cefiles.h>
#include <platform/text.h>
#include <winerror.h>

#include <mutex>
#include <unordered_map>

namespace platform::fs {
namespace {

struct OpenCounts {
    int opens = 0;
    int readers = 0;
    int writers = 0;
    int refuseRead = 0;
    int refuseWrite = 0;
};

struct ShareTable {
    std::mutex mutex;
    std::unordered_map<std::string, OpenCounts> files;
};

ShareTable& Table() {
    static ShareTable* table = new ShareTable;
    return *table;
}

std::string KeyOf(const Resolved& where) {
    std::string key = std::to_string(reinterpret_cast<uintptr_t>(where.backend.get()));
    for (const auto& part : where.relative) {
        key += '\\';
        AppendFoldedUtf8(key, part);
    }
    return key;
}

bool Conflicts(const OpenCounts& c, DWORD access, DWORD share) {
    return ((access & GENERIC_READ) && c.refuseRead > 0) ||
           ((access & GENERIC_WRITE) && c.refuseWrite > 0) ||
           (!(share & FILE_SHARE_READ) && c.readers > 0) ||
           (!(share & FILE_SHARE_WRITE) && c.writers > 0);
}

void Count(OpenCounts& c, DWORD access, DWORD share, int step) {
    c.opens += step;
    if (access & GENERIC_READ) c.readers += step;
    if (access & GENERIC_WRITE) c.writers += step;
    if (!(share & FILE_SHARE_READ)) c.refuseRead += step;
    if (!(share & FILE_SHARE_WRITE)) c.refuseWrite += step;
}

}  // namespace

ShareLease::ShareLease(std::string key, DWORD access, DWORD share)
    : key_(std::move(key)), access_(access), share_(share) {}

ShareLease::~ShareLease() {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.files.find(key_);
    if (it == table.files.end()) return;
    Count(it->second, access_, share_, -1);
    if (it->second.opens == 0) table.files.erase(it);
}

DWORD AcquireShare(const Resolved& where, DWORD access, DWORD share,
                   std::unique_ptr<ShareLease>& lease) {
    auto key = KeyOf(where);
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto& counts = table.files[key];
    if (Conflicts(counts, access, share)) {
        if (counts.opens == 0) table.files.erase(key);
        return ERROR_SHARING_VIOLATION;
    }
    Count(counts, access, share, +1);
    lease = std::make_unique<ShareLease>(std::move(key), access, share);
    return 0;
}

bool IsOpenAnywhere(const Resolved& where) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    return table.files.contains(KeyOf(where));
}

}  // namespace platform::fs
