// How an emulated drive is built (variant, position, identity, timing) and the faults it can be
// told to commit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windef.h>

#include "sense.h"

namespace sim {

enum class DriveVariant {
    Packet,  // ATAPI packet device: the removable-disk drive
    Ata,     // plain ATA device without the packet feature set
};

// The position (device 0 or 1 of the task file) at which the drive answers; the other
// position is empty.
enum class DrivePosition { Device0, Device1 };

// Busy phases last a number of register accesses that see BSY (the drive's time on the bus:
// a host that polls, or that comes back later to do anything else, lets the drive finish) and,
// where set, milliseconds on the platform clock; a phase ends when both have passed.
struct DriveTiming {
    uint32_t commandBusyPolls = 1;  // after a command or a packet
    uint32_t burstBusyPolls = 1;    // after a data burst, before the next or the completion
    uint32_t resetBusyPolls = 1;    // DEVICE RESET and software reset
    DWORD resetMilliseconds = 0;
    // After a medium is inserted, commands that need it are answered "becoming ready"
    // (2/0x04/0x01) this many times and for this long.
    uint32_t becomingReadyCommands = 0;
    DWORD becomingReadyMilliseconds = 0;
    // After a seek the drive is not busy but DSC stays clear for this many status reads.
    uint32_t seekCompletePolls = 0;
};

// What the status register shows while DEVICE RESET runs: BSY, or 0 (neither BSY nor DRDY)
// as some drives do, which a host must not take for the reset being over.
enum class ResetStatus { Busy, Zero };

struct DriveSettings {
    DriveVariant variant = DriveVariant::Packet;
    DrivePosition position = DrivePosition::Device0;
    std::string model = "QUORVA ZAPT! 40";  // identify words 27..46
    bool lbaCapable = true;                 // identify word 49 bit 9
    // Identify words 1, 3 and 6 of the packet variant (a packet device normally leaves them 0;
    // the ATA variant derives them from the medium).
    uint16_t packetCylinders = 0, packetHeads = 0, packetSectorsPerTrack = 0;
    uint8_t page2FInitial = 0x00;  // byte 2 of mode page 0x2F after power-on
    DriveTiming timing;
    ResetStatus deviceResetStatus = ResetStatus::Busy;
};

struct MediumOptions {
    bool writeProtected = false;
    bool usable = true;  // false: a cartridge the drive cannot use (vendor state 5)
};

// A packet command to match: one opcode, or any command except REQUEST SENSE.
struct CommandMatch {
    std::optional<uint8_t> opcode;
    bool Matches(uint8_t candidate) const;
};

// The next `times` matching packet commands fail with this sense (after the unit attention
// check, before every other check).
struct InjectedError {
    CommandMatch match;
    Sense sense;
    uint32_t times = 1;
    bool abort = false;  // ABRT in the error register too
};

}  // namespace sim
