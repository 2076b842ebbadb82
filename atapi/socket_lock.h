// The socket's lock, held for the whole of a scope.
#pragma once

#include <drive/drive_context.h>

namespace atapi {

class SocketLock {
public:
    explicit SocketLock(DriveContext& context) : lock_(&context.socket->socketLock) {
        EnterCriticalSection(lock_);
    }
    ~SocketLock() { LeaveCriticalSection(lock_); }
    SocketLock(const SocketLock&) = delete;
    SocketLock& operator=(const SocketLock&) = delete;

private:
    LPCRITICAL_SECTION lock_;
};

// A context the card driver has not wired to a socket cannot be served.
inline bool Wired(const DriveContext* context) {
    return context != nullptr && context->socket != nullptr;
}

}  // namespace atapi
