// The drive below its register interface: the medium, what it will report through REQUEST
// SENSE, its mode page, and the command-level faults it has been told to commit. Packet
// command handlers work on this alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "drive_settings.h"
#include "medium_image.h"
#include "sense.h"

namespace sim {

struct CommandFaults {
    std::optional<InjectedError> error;
    std::optional<Sense> reportedSense;  // what the next REQUEST SENSE replies carry instead
    uint32_t reportedSenseTimes = 0;
    bool writeProtectAfterData = false;  // WRITE(10) to a protected medium fails after its data
    bool abortOnError = false;           // ABRT in the error register of every failed packet
};

struct DriveState {
    explicit DriveState(DriveSettings initial)
        : settings(std::move(initial)), page2F(settings.page2FInitial) {}

    DriveSettings settings;
    std::unique_ptr<MediumImage> medium;
    MediumOptions mediumOptions;
    uint64_t mediumGeneration = 0;  // changes with every insertion and removal
    SenseState sense;
    uint8_t page2F;
    bool mediaChangePending = false;  // ATA: reported once by GET MEDIA STATUS
    uint32_t becomingReadyCommands = 0;
    DWORD becomingReadyUntil = 0;
    bool becomingReadyTimed = false;
    CommandFaults faults;

    bool HasMedium() const { return medium != nullptr; }
    bool WriteProtected() const { return medium && mediumOptions.writeProtected; }
    // True while an inserted medium is still spinning up; counts the command that asked.
    bool BecomingReady();
    // The sense for a transfer that began on medium `generation` when that medium is gone.
    std::optional<Sense> MediumLost(uint64_t generation) const;
};

}  // namespace sim
