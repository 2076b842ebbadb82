#include "packet_commands.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace sim {
namespace {

constexpr uint8_t kPage2F = 0x2F;
constexpr uint8_t kAllPages = 0x3F;
constexpr uint8_t kPage2FChangeable = 0x20;  // the only bit of page byte 2 a host may change
constexpr uint8_t kVendorStatusPage = 0x02;
constexpr uint32_t kVendorStatusSize = 64;
constexpr uint32_t kInquirySize = 36;
constexpr uint32_t kCapacitySize = 8;
constexpr uint32_t kModeHeaderSize = 4;
constexpr uint32_t kBlockDescriptorSize = 8;
constexpr uint32_t kPage2FSize = 6;

// Vendor status byte 21: high nibble set while a cartridge is in, low nibble its state.
constexpr uint8_t kCartridgeIn = 0x10;
constexpr uint8_t kStateReady = 1;
constexpr uint8_t kStateNotUsable = 5;

uint32_t Be32(const Packet& p, unsigned at) {
    return uint32_t{p[at]} << 24 | uint32_t{p[at + 1]} << 16 | uint32_t{p[at + 2]} << 8 | p[at + 3];
}
uint16_t Be16(const Packet& p, unsigned at) { return static_cast<uint16_t>(p[at] << 8 | p[at + 1]); }

void PutBe32(std::span<uint8_t> out, unsigned at, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

Failed Fail(uint8_t key, uint8_t asc, uint8_t ascq = 0) { return Failed{Sense{key, asc, ascq}}; }
Failed InvalidField() { return Fail(sense::kIllegalRequest, sense::kAscInvalidFieldInPacket); }

// A data-in reply built in full up front, cut to the allocation length.
DataIn Reply(std::vector<uint8_t> bytes, uint32_t allocation) {
    bytes.resize(std::min<size_t>(bytes.size(), allocation));
    const auto length = static_cast<uint32_t>(bytes.size());
    return DataIn{length, [bytes = std::move(bytes)](uint32_t offset, std::span<uint8_t> out) {
                      std::copy_n(bytes.begin() + offset, out.size(), out.begin());
                      return std::optional<Sense>{};
                  }};
}

// --- data lengths (what the byte-count limit check needs before a handler runs) ---
uint32_t NoData(const Packet&) { return 0; }
uint32_t AllocationByte4(const Packet& p) { return p[4]; }
uint32_t TenByteBlocks(const Packet& p) { return uint32_t{Be16(p, 7)} * ata::kBlockSize; }
uint32_t CapacityLength(const Packet&) { return kCapacitySize; }

// --- handlers ---
CommandOutcome TestUnitReady(DriveState&, const Packet&) { return Completed{}; }

CommandOutcome RequestSense(DriveState& state, const Packet& p) {
    Sense report;
    if (state.faults.reportedSenseTimes > 0) {
        --state.faults.reportedSenseTimes;
        report = *state.faults.reportedSense;
    } else {
        report = state.sense.TakeReport();
    }
    const auto bytes = FixedFormatSense(report);
    return Reply({bytes.begin(), bytes.end()}, p[4]);
}

void PutPadded(std::vector<uint8_t>& out, unsigned at, unsigned width, std::string_view text) {
    for (unsigned i = 0; i < width; ++i) out[at + i] = i < text.size() ? text[i] : ' ';
}

CommandOutcome Inquiry(DriveState& state, const Packet& p) {
    std::vector<uint8_t> reply(kInquirySize, 0);
    reply[1] = 0x80;  // removable
    reply[3] = 0x21;  // ATAPI, response format 1
    reply[4] = kInquirySize - 5;
    const std::string_view model = state.settings.model;
    const size_t space = model.find(' ');
    PutPadded(reply, 8, 8, model.substr(0, space));
    PutPadded(reply, 16, 16, space == std::string_view::npos ? "" : model.substr(space + 1));
    PutPadded(reply, 32, 4, "1.00");
    return Reply(std::move(reply), p[4]);
}

CommandOutcome ModeSense6(DriveState& state, const Packet& p) {
    const bool blockDescriptor = (p[1] & 0x08) == 0;
    const uint8_t control = p[2] >> 6;
    const uint8_t page = p[2] & 0x3F;
    if (page != kPage2F && page != kAllPages) return InvalidField();
    if (control == 3) return Fail(sense::kIllegalRequest, sense::kAscSavingNotSupported);
    const uint8_t flags = control == 0 ? state.page2F
                          : control == 1 ? kPage2FChangeable
                                         : state.settings.page2FInitial;
    std::vector<uint8_t> reply;
    reply.push_back(0);  // mode data length, set below
    reply.push_back(0);  // medium type
    reply.push_back(state.WriteProtected() ? 0x80 : 0x00);
    reply.push_back(blockDescriptor ? kBlockDescriptorSize : 0);
    if (blockDescriptor) {
        std::vector<uint8_t> descriptor(kBlockDescriptorSize, 0);
        const uint32_t blocks = state.medium ? std::min(state.medium->blocks(), 0xFFFFFFu) : 0;
        PutBe32(descriptor, 0, blocks);  // density code 0 in the top byte
        PutBe32(descriptor, 4, ata::kBlockSize);
        reply.insert(reply.end(), descriptor.begin(), descriptor.end());
    }
    reply.insert(reply.end(), {kPage2F, kPage2FSize - 2, flags, 0, 0, 0});
    reply[0] = static_cast<uint8_t>(reply.size() - 1);
    return Reply(std::move(reply), p[4]);
}

std::optional<Sense> ApplyModeParameters(DriveState& state, std::span<const uint8_t> list) {
    const Sense badList{sense::kIllegalRequest, sense::kAscInvalidFieldInParameters, 0};
    if (list.size() < kModeHeaderSize) {
        return Sense{sense::kIllegalRequest, sense::kAscParameterListLength, 0};
    }
    const size_t pageAt = kModeHeaderSize + list[3];
    if (list.size() < pageAt + 3) {
        return Sense{sense::kIllegalRequest, sense::kAscParameterListLength, 0};
    }
    if ((list[pageAt] & 0x3F) != kPage2F || list[pageAt + 1] < 2) return badList;
    state.page2F = static_cast<uint8_t>((state.page2F & ~kPage2FChangeable) |
                                        (list[pageAt + 2] & kPage2FChangeable));
    return std::nullopt;
}

CommandOutcome ModeSelect6(DriveState& state, const Packet& p) {
    const uint32_t length = p[4];
    if (length == 0) return Completed{};
    auto list = std::make_shared<std::vector<uint8_t>>(length, 0);
    return DataOut{length,
                   [list](uint32_t offset, std::span<const uint8_t> bytes) {
                       std::copy(bytes.begin(), bytes.end(), list->begin() + offset);
                       return std::optional<Sense>{};
                   },
                   [&state, list] { return ApplyModeParameters(state, *list); }};
}

CommandOutcome VendorStatus(DriveState& state, const Packet& p) {
    if (p[2] != kVendorStatusPage) return InvalidField();
    std::vector<uint8_t> reply(kVendorStatusSize, 0);
    reply[0] = kVendorStatusPage;
    reply[1] = kVendorStatusSize - 2;
    if (state.medium) {
        PutBe32(reply, 5, state.medium->blocks());
        PutBe32(reply, 9, ata::kBlockSize);
        reply[21] = kCartridgeIn | (state.mediumOptions.usable ? kStateReady : kStateNotUsable);
    }
    return Reply(std::move(reply), p[4]);
}

CommandOutcome ReadCapacity(DriveState& state, const Packet&) {
    std::vector<uint8_t> reply(kCapacitySize, 0);
    PutBe32(reply, 0, state.medium->blocks() - 1);
    PutBe32(reply, 4, ata::kBlockSize);
    return Reply(std::move(reply), kCapacitySize);
}

std::optional<Failed> CheckRange(const DriveState& state, uint32_t lba, uint32_t blocks) {
    if (lba > state.medium->blocks() || blocks > state.medium->blocks() - lba) {
        return Fail(sense::kIllegalRequest, sense::kAscLbaOutOfRange);
    }
    return std::nullopt;
}

CommandOutcome Read10(DriveState& state, const Packet& p) {
    const uint32_t lba = Be32(p, 2), blocks = Be16(p, 7);
    if (auto bad = CheckRange(state, lba, blocks)) return *bad;
    if (blocks == 0) return Completed{};
    const uint64_t start = uint64_t{lba} * ata::kBlockSize;
    return DataIn{blocks * ata::kBlockSize,
                  [&state, generation = state.mediumGeneration, start](
                      uint32_t offset, std::span<uint8_t> out) -> std::optional<Sense> {
                      if (auto lost = state.MediumLost(generation)) return lost;
                      if (!state.medium->Read(start + offset, out)) {
                          return Sense{sense::kMediumError, sense::kAscUnrecoveredReadError, 0};
                      }
                      return std::nullopt;
                  }};
}

CommandOutcome Write10(DriveState& state, const Packet& p) {
    const uint32_t lba = Be32(p, 2), blocks = Be16(p, 7);
    if (auto bad = CheckRange(state, lba, blocks)) return *bad;
    const Sense protectedSense{sense::kDataProtect, sense::kAscWriteProtected, 0};
    const bool protectedMedium = state.WriteProtected();
    if (protectedMedium && !state.faults.writeProtectAfterData) return Failed{protectedSense};
    if (blocks == 0) return Completed{};
    const uint64_t start = uint64_t{lba} * ata::kBlockSize;
    return DataOut{
        blocks * ata::kBlockSize,
        [&state, generation = state.mediumGeneration, start, protectedMedium](
            uint32_t offset, std::span<const uint8_t> bytes) -> std::optional<Sense> {
            if (auto lost = state.MediumLost(generation)) return lost;
            if (protectedMedium) return std::nullopt;  // taken, never written
            if (!state.medium->Write(start + offset, bytes)) {
                return Sense{sense::kMediumError, sense::kAscWriteError, 0};
            }
            return std::nullopt;
        },
        [protectedMedium, protectedSense]() -> std::optional<Sense> {
            if (protectedMedium) return protectedSense;
            return std::nullopt;
        }};
}

CommandOutcome Seek10(DriveState& state, const Packet& p) {
    if (auto bad = CheckRange(state, Be32(p, 2), 1)) return *bad;
    return Completed{.seek = true};
}

constexpr PacketCommand kCommands[] = {
    {0x00, "TEST UNIT READY", kNeedsMedium, NoData, TestUnitReady},
    {0x03, "REQUEST SENSE", kAllowedDuringUnitAttention, AllocationByte4, RequestSense},
    {0x06, "VENDOR STATUS", 0, AllocationByte4, VendorStatus},
    {0x12, "INQUIRY", kAllowedDuringUnitAttention, AllocationByte4, Inquiry},
    {0x15, "MODE SELECT(6)", 0, AllocationByte4, ModeSelect6},
    {0x1A, "MODE SENSE(6)", 0, AllocationByte4, ModeSense6},
    {0x25, "READ CAPACITY", kNeedsUsableMedium, CapacityLength, ReadCapacity},
    {0x28, "READ(10)", kNeedsUsableMedium, TenByteBlocks, Read10},
    {0x2A, "WRITE(10)", kNeedsUsableMedium, TenByteBlocks, Write10},
    {0x2B, "SEEK(10)", kNeedsUsableMedium, NoData, Seek10},
};

bool TakeInjectedError(DriveState& state, uint8_t opcode, Failed& failure) {
    auto& injected = state.faults.error;
    if (!injected || !injected->match.Matches(opcode)) return false;
    failure = Failed{injected->sense, injected->abort};
    if (--injected->times == 0) injected.reset();
    return true;
}

}  // namespace

bool CommandMatch::Matches(uint8_t candidate) const {
    return opcode ? *opcode == candidate : candidate != 0x03;
}

const PacketCommand* FindPacketCommand(uint8_t opcode) {
    for (const PacketCommand& command : kCommands) {
        if (command.opcode == opcode) return &command;
    }
    return nullptr;
}

CommandOutcome ExecutePacket(DriveState& state, const Packet& packet, uint16_t byteCountLimit) {
    const PacketCommand* command = FindPacketCommand(packet[0]);
    const uint8_t flags = command ? command->flags : 0;
    if (auto attention = state.sense.PendingUnitAttention();
        attention && !(flags & kAllowedDuringUnitAttention)) {
        return Failed{*attention};
    }
    if (Failed injected; TakeInjectedError(state, packet[0], injected)) return injected;
    if (flags & (kNeedsMedium | kNeedsUsableMedium)) {
        if (!state.HasMedium()) return Fail(sense::kNotReady, sense::kAscNoMedium);
        if (state.BecomingReady()) return Fail(sense::kNotReady, sense::kAscBecomingReady, 0x01);
    }
    if (command && byteCountLimit == 0 && command->dataLength(packet) != 0) {
        return Failed{Sense{sense::kIllegalRequest, sense::kAscInvalidFieldInPacket, 0}, true};
    }
    if (!command) return Fail(sense::kIllegalRequest, sense::kAscInvalidOpcode);
    if ((flags & kNeedsUsableMedium) && !state.mediumOptions.usable) {
        return Fail(sense::kNotReady, sense::kAscIncompatibleMedium);
    }
    return command->run(state, packet);
}

}  // namespace sim
