#include "drive_state.h"

#include <windows.h>

namespace sim {

bool DriveState::BecomingReady() {
    bool busy = false;
    if (becomingReadyCommands > 0) {
        --becomingReadyCommands;
        busy = true;
    }
    if (becomingReadyTimed) {
        if (static_cast<int32_t>(becomingReadyUntil - GetTickCount()) > 0) {
            busy = true;
        } else {
            becomingReadyTimed = false;
        }
    }
    return busy;
}

std::optional<Sense> DriveState::MediumLost(uint64_t generation) const {
    if (!medium) return Sense{sense::kNotReady, sense::kAscNoMedium, 0};
    if (generation != mediumGeneration) {
        return Sense{sense::kUnitAttention, sense::kAscMediumChanged, 0};
    }
    return std::nullopt;
}

}  // namespace sim
