// A copy to or from a shared mapping of a file that another program may cut short: a page past
// the file's new end raises SIGBUS, which here ends the copy with false instead of ending the
// process. Handlers that were installed before keep every SIGBUS that is not such a copy's.
#pragma once

#include <cstddef>

namespace sim {

// False when a page of either range could not be reached; the bytes are then partly copied.
bool CopyUnlessBusError(void* to, const void* from, size_t bytes);

}  // namespace sim
