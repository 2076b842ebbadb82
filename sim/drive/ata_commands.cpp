// Commands written to the command register: one table from command to handler and the
// variants that know it. Anything else is aborted.
#include <algorithm>
#include <utility>

#include "emulated_drive.h"
#include "identify_data.h"

namespace sim {
namespace {

constexpr uint16_t kAtaHeads = 16;
constexpr uint16_t kAtaSectorsPerTrack = 32;
constexpr uint8_t kFeatureDma = 0x01;

}  // namespace

void EmulatedDrive::ExecuteCommandNow() {
    struct AtaCommand {
        uint8_t code;
        bool packetDrive;  // known to the packet variant
        bool ataDrive;     // known to the ATA variant
        void (EmulatedDrive::*run)();
    };
    static constexpr AtaCommand kCommands[] = {
        {ata::kPacket, true, false, &EmulatedDrive::RequestPacket},
        {ata::kIdentifyPacketDevice, true, false, &EmulatedDrive::IdentifyPacketDevice},
        {ata::kIdentifyDevice, true, true, &EmulatedDrive::IdentifyDevice},
        {ata::kGetMediaStatus, false, true, &EmulatedDrive::GetMediaStatus},
        {ata::kAcknowledgeMediaChange, false, true, &EmulatedDrive::AcknowledgeMediaChange},
    };
    const bool packetDrive = state_.settings.variant == DriveVariant::Packet;
    for (const AtaCommand& command : kCommands) {
        if (command.code == command_ && (packetDrive ? command.packetDrive : command.ataDrive)) {
            return (this->*command.run)();
        }
    }
    AbortCommand();
}

void EmulatedDrive::AbortCommand() {
    transfer_ = Transfer{};
    phase_ = Phase::Idle;
    regs_.error = ata::kAbrt;
    regs_.status = ata::kDrdy | ata::kErr;
}

void EmulatedDrive::CompleteAtaCommand() {
    transfer_ = Transfer{};
    phase_ = Phase::Idle;
    regs_.error = 0;
    regs_.status = ata::kDrdy | ata::kDsc;
}

// PACKET: the byte-count limit is what the host left in the cylinder registers. The features
// register asks for DMA with bit 0; this drive has no DMA (identify word 49 says so), so a
// stale value there aborts the command, as a drive without DMA does.
void EmulatedDrive::RequestPacket() {
    if (regs_.features & kFeatureDma) return AbortCommand();
    phase_ = Phase::Packet;
    packetBytes_ = 0;
    packetLimit_ = static_cast<uint16_t>(regs_.cylinderHigh << 8 | regs_.cylinderLow);
    regs_.sectorCount = ata::kReasonPacket;
    regs_.status = ata::kDrdy | ata::kDsc | ata::kDrq;
}

void EmulatedDrive::IdentifyPacketDevice() { StartIdentify(true); }

// A packet device refuses IDENTIFY DEVICE and shows its signature, so a host probing with it
// learns what it found.
void EmulatedDrive::IdentifyDevice() {
    if (state_.settings.variant == DriveVariant::Packet) {
        AbortCommand();
        return Signature();
    }
    StartIdentify(false);
}

void EmulatedDrive::StartIdentify(bool packetIdentify) {
    const DriveSettings& settings = state_.settings;
    IdentifyFacts facts{.packetDevice = packetIdentify,
                        .model = settings.model,
                        .lbaCapable = settings.lbaCapable};
    if (packetIdentify) {
        facts.cylinders = settings.packetCylinders;
        facts.heads = settings.packetHeads;
        facts.sectorsPerTrack = settings.packetSectorsPerTrack;
    } else if (state_.medium) {
        // The ATA variant describes the medium in the drive as cylinders of 16 x 32 blocks.
        facts.totalBlocks = state_.medium->blocks();
        facts.cylinders = static_cast<uint16_t>(
            std::min<uint32_t>(facts.totalBlocks / (kAtaHeads * kAtaSectorsPerTrack), 0xFFFF));
        facts.heads = kAtaHeads;
        facts.sectorsPerTrack = kAtaSectorsPerTrack;
    }
    const IdentifyData data = BuildIdentifyData(facts);
    // An ATA data-in command: the cylinder registers keep what the host wrote.
    StartTransfer(false, true, data.size(),
                  [data](uint32_t offset, std::span<uint8_t> out) {
                      std::copy_n(data.begin() + offset, out.size(), out.begin());
                      return std::optional<Sense>{};
                  },
                  {}, {});
}

// GET MEDIA STATUS answers with error bits: no medium; or medium changed (once per change)
// and write protected. A medium that is present and unchanged gives no error.
void EmulatedDrive::GetMediaStatus() {
    uint8_t bits = 0;
    if (!state_.medium) {
        bits = ata::kNoMedia;
    } else {
        if (std::exchange(state_.mediaChangePending, false)) bits |= ata::kMediaChanged;
        if (state_.WriteProtected()) bits |= ata::kMediaWriteProtected;
    }
    if (bits == 0) return CompleteAtaCommand();
    phase_ = Phase::Idle;
    regs_.error = bits;
    regs_.status = ata::kDrdy | ata::kErr;
}

void EmulatedDrive::AcknowledgeMediaChange() {
    state_.mediaChangePending = false;
    CompleteAtaCommand();
}

}  // namespace sim
