#include "live_contexts.h"

namespace qvdisk {
namespace {

CRITICAL_SECTION lock;
DriveContext* head = nullptr;

class Locked {
public:
    Locked() { EnterCriticalSection(&lock); }
    ~Locked() { LeaveCriticalSection(&lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// The link that points at the context (the head or a predecessor's), or null.
DriveContext** LinkTo(const DriveContext* context) {
    for (DriveContext** link = &head; *link != nullptr; link = &(*link)->listLink) {
        if (*link == context) return link;
    }
    return nullptr;
}

}  // namespace

void CreateLock() { InitializeCriticalSection(&lock); }
void DeleteLock() { DeleteCriticalSection(&lock); }

void Add(DriveContext* context) {
    Locked locked;
    context->openCount = 0;
    if (DriveContext** link = LinkTo(context)) *link = context->listLink;
    context->listLink = head;
    head = context;
}

bool Remove(DriveContext* context) {
    Locked locked;
    DriveContext** link = LinkTo(context);
    if (link == nullptr) return false;
    context->openCount = 0;
    *link = context->listLink;
    context->listLink = nullptr;
    return true;
}

bool IsLive(const DriveContext* context) {
    Locked locked;
    return LinkTo(context) != nullptr;
}

bool CountOpen(DriveContext* context) {
    Locked locked;
    if (LinkTo(context) == nullptr) return false;
    ++context->openCount;
    return true;
}

bool CountClose(DriveContext* context) {
    Locked locked;
    if (LinkTo(context) == nullptr) return false;
    if (context->openCount != 0) --context->openCount;
    return true;
}

bool OpensOfLive(const DriveContext* context, DWORD& opens) {
    Locked locked;
    if (LinkTo(context) == nullptr) return false;
    opens = context->openCount;
    return true;
}

}  // namespace qvdisk
