// The packet command set: one table from opcode to handler and flags, the checks that every
// packet goes through before its handler, and what a command asks of the protocol layer next
// (complete, fail with a sense, or move data in bursts).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <variant>

#include "drive_state.h"
#include "sense.h"
#include "task_file.h"

namespace sim {

using Packet = std::array<uint8_t, ata::kPacketSize>;

// Fills the bytes of a data-in phase from offset on; a sense when the data cannot be had.
using DataSource = std::function<std::optional<Sense>(uint32_t offset, std::span<uint8_t>)>;
// Takes the bytes of a finished data-out burst that began at offset.
using DataSink = std::function<std::optional<Sense>(uint32_t offset, std::span<const uint8_t>)>;
// Runs once all data of a data-out phase arrived.
using DataFinish = std::function<std::optional<Sense>()>;

struct Completed {
    bool seek = false;  // DSC may lag behind the completion
};
struct Failed {
    Sense sense;
    bool abort = false;
};
struct DataIn {
    uint32_t length;
    DataSource source;
};
struct DataOut {
    uint32_t length;
    DataSink sink;
    DataFinish finish;
};
using CommandOutcome = std::variant<Completed, Failed, DataIn, DataOut>;

enum PacketFlags : uint8_t {
    kNeedsMedium = 0x01,
    kNeedsUsableMedium = 0x02,  // implies kNeedsMedium
    kAllowedDuringUnitAttention = 0x04,
};

struct PacketCommand {
    uint8_t opcode;
    const char* name;
    uint8_t flags;
    uint32_t (*dataLength)(const Packet&);  // bytes the command would move; 0: none
    CommandOutcome (*run)(DriveState&, const Packet&);
};

const PacketCommand* FindPacketCommand(uint8_t opcode);

// Runs one packet: unit attention, injected error, medium, byte-count limit and opcode checks
// in this order, then the command's handler.
CommandOutcome ExecutePacket(DriveState& state, const Packet& packet, uint16_t byteCountLimit);

}  // namespace sim
