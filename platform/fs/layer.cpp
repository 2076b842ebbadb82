#include "layer.h"

#include <platform/clock.h>

namespace platform::fs {

DWORD StatResolved(const Resolved& where, EntryInfo& info) {
    if (DWORD error = where.backend->Stat(where.relative, info); error != 0) return error;
    if (where.relative.empty()) {
        info.name = where.mountName;
        info.attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    return 0;
}

FileTimeTicks Now() { return CurrentClock().UtcNow(); }

}  // namespace platform::fs
