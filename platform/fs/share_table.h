// Who has which file open, and how they share it. An open that would read where another open
// refuses shared reading (or write where it refuses shared writing), or that refuses sharing
// what another open already does, fails with 32; so does deleting or replacing an open file.
#pragma once

#include "mount_table.h"

#include <memory>

namespace platform::fs {

class ShareLease {
public:
    ShareLease(std::string key, DWORD access, DWORD share);
    ~ShareLease();
    ShareLease(const ShareLease&) = delete;
    ShareLease& operator=(const ShareLease&) = delete;

private:
    std::string key_;
    DWORD access_;
    DWORD share_;
};

// 0 with a lease held until it is dropped, or 32.
[[nodiscard]] DWORD AcquireShare(const Resolved& where, DWORD access, DWORD share,
                                 std::unique_ptr<ShareLease>& lease);
bool IsOpenAnywhere(const Resolved& where);

}  // namespace platform::fs
