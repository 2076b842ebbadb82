// The drive's protocol engine: busy phases that end after bus accesses and time, the packet phase,
// data bursts with DRQ, completion and error status, and the two resets.
#include <windows.h>

#include <algorithm>
#include <utility>

#include "emulated_drive.h"

namespace sim {
namespace {
constexpr size_t kReceivedKept = 4096;
}

void EmulatedDrive::Note(uint8_t command, const Packet& packet) {
    received_.push_back(ReceivedCommand{command, packet});
    if (received_.size() > kReceivedKept) received_.pop_front();
}

void EmulatedDrive::EnterBusy(uint32_t polls, DWORD milliseconds, Next next) {
    phase_ = Phase::Busy;
    next_ = next;
    busyPolls_ = polls;
    busyMilliseconds_ = milliseconds;
    busyStart_ = milliseconds > 0 ? GetTickCount() : 0;
    if (polls == 0 && milliseconds == 0) Continue();
}

void EmulatedDrive::Continue() {
    const Next next = std::exchange(next_, Next::None);
    phase_ = Phase::Idle;
    switch (next) {
        case Next::ExecuteCommand: return ExecuteCommandNow();
        case Next::ExecutePacket: return ExecutePacketNow();
        case Next::AfterBurst: return AfterBurst();
        case Next::DeviceResetDone: return FinishReset(false);
        case Next::SoftResetDone: return FinishReset(true);
        case Next::None: return;
    }
}

void EmulatedDrive::WriteCommand(uint8_t command) {
    if (!Selected()) return;  // the empty position ignores commands
    const bool packetDrive = state_.settings.variant == DriveVariant::Packet;
    if (command == ata::kDeviceReset && packetDrive && phase_ != Phase::ResetHeld) {
        Note(command, {});
        return StartDeviceReset();
    }
    if (OwnsTaskFile()) return;
    if (command != ata::kPacket) Note(command, {});
    command_ = command;
    regs_.error = 0;
    regs_.status = ata::kBsy | ata::kDrdy;
    if (std::exchange(stallNextCommand_, false)) {
        phase_ = Phase::Stalled;
        return;
    }
    EnterBusy(state_.settings.timing.commandBusyPolls, 0, Next::ExecuteCommand);
}

void EmulatedDrive::PacketReceived() {
    Note(ata::kPacket, packet_);
    if (packetWatcher_) packetToWatch_ = packet_;
    regs_.status = ata::kBsy | ata::kDrdy;
    if (stallPacket_ && stallPacket_->Matches(packet_[0])) {
        stallPacket_.reset();
        phase_ = Phase::Stalled;
        return;
    }
    EnterBusy(state_.settings.timing.commandBusyPolls, 0, Next::ExecutePacket);
}

void EmulatedDrive::ExecutePacketNow() { Apply(ExecutePacket(state_, packet_, packetLimit_)); }

void EmulatedDrive::Apply(const CommandOutcome& outcome) {
    if (const auto* done = std::get_if<Completed>(&outcome)) return CompletePacket(done->seek);
    if (const auto* failed = std::get_if<Failed>(&outcome)) {
        return FailPacket(failed->sense, failed->abort);
    }
    if (const auto* in = std::get_if<DataIn>(&outcome)) {
        return StartTransfer(true, true, in->length, in->source, {}, {});
    }
    const auto& out = std::get<DataOut>(outcome);
    StartTransfer(true, false, out.length, {}, out.sink, out.finish);
}

void EmulatedDrive::CompletePacket(bool seek) {
    state_.sense.ClearCurrent();
    transfer_ = Transfer{};
    phase_ = Phase::Idle;
    regs_.error = 0;
    regs_.sectorCount = ata::kReasonDone;
    regs_.status = ata::kDrdy | ata::kDsc;
    const uint32_t lag = state_.settings.timing.seekCompletePolls;
    if (seek && lag > 0) {
        regs_.status = ata::kDrdy;
        dscPendingPolls_ = lag;
    }
}

void EmulatedDrive::FailPacket(const Sense& sense, bool abort) {
    state_.sense.Fail(sense);
    transfer_ = Transfer{};
    phase_ = Phase::Idle;
    const bool abortBit = abort || state_.faults.abortOnError;
    regs_.error = static_cast<uint8_t>(sense.key << 4 | (abortBit ? ata::kAbrt : 0));
    regs_.sectorCount = ata::kReasonDone;
    regs_.status = ata::kDrdy | ata::kErr;
}

void EmulatedDrive::FailTransfer(const Sense& sense) {
    if (transfer_.packetProtocol) return FailPacket(sense, false);
    AbortCommand();
}

void EmulatedDrive::StartTransfer(bool packetProtocol, bool toHost, uint32_t length,
                                  DataSource source, DataSink sink, DataFinish finish) {
    transfer_ = Transfer{};
    transfer_.packetProtocol = packetProtocol;
    transfer_.toHost = toHost;
    transfer_.total = length;
    transfer_.limit = packetLimit_;
    transfer_.source = std::move(source);
    transfer_.sink = std::move(sink);
    transfer_.finish = std::move(finish);
    if (packetProtocol) {
        PendingTransferFaults faults = std::exchange(pendingTransferFaults_, {});
        transfer_.pattern = std::move(faults.pattern);
        transfer_.zeroCountBurst = faults.zeroCountBurst;
        transfer_.extraBytes = faults.extraBytes;
        transfer_.stallAfterBurst = faults.stallAfterBurst;
    }
    PrepareBurst();
}

// Bursts are as long as what remains, cut to the byte-count limit made even (at least one
// word); the fault switches may cut them further, to odd lengths too.
uint32_t EmulatedDrive::BurstSize(uint32_t remaining) const {
    uint32_t size = remaining;
    if (transfer_.burstIndex < transfer_.pattern.size()) {
        size = std::min<uint32_t>(remaining, std::max<uint16_t>(transfer_.pattern[transfer_.burstIndex], 1));
    } else if (transfer_.packetProtocol) {
        size = std::min<uint32_t>(remaining, std::max<uint32_t>(transfer_.limit & ~1u, 2));
    }
    if (maxBurst_ > 0) size = std::min<uint32_t>(size, maxBurst_);
    return size;
}

void EmulatedDrive::PrepareBurst() {
    const uint32_t remaining = transfer_.total - transfer_.done;
    const uint32_t size = BurstSize(remaining);
    const uint32_t extra = size == remaining ? transfer_.extraBytes : 0;
    const size_t length = size_t{size} + extra;
    if (burstBuffer_.size() < length) burstBuffer_.resize(length);
    transfer_.burst = {burstBuffer_.data(), length};
    // The source fills the data bytes (data-in) or the host writes every byte before the burst
    // is taken (data-out); only an announced surplus must read as zeros.
    std::fill(transfer_.burst.begin() + size, transfer_.burst.end(), uint8_t{0});
    transfer_.burstData = size;
    transfer_.position = 0;
    if (transfer_.toHost) {
        if (auto error = transfer_.source(transfer_.done, {transfer_.burst.data(), size})) {
            return FailTransfer(*error);
        }
    }
    if (transfer_.packetProtocol) {
        uint32_t announced = std::min<uint32_t>(size + extra, 0xFFFF);
        if (transfer_.zeroCountBurst == transfer_.burstIndex) announced = 0;
        regs_.cylinderLow = static_cast<uint8_t>(announced);
        regs_.cylinderHigh = static_cast<uint8_t>(announced >> 8);
        regs_.sectorCount = transfer_.toHost ? ata::kReasonDataIn : ata::kReasonDataOut;
    }
    regs_.status = ata::kDrdy | ata::kDsc | ata::kDrq;
    phase_ = transfer_.toHost ? Phase::DataIn : Phase::DataOut;
}

// DRQ drops with the last byte of a burst; the drive is busy while it stores the burst or
// prepares the next.
void EmulatedDrive::EndBurst() {
    regs_.status = ata::kBsy | ata::kDrdy;
    if (transfer_.stallAfterBurst == transfer_.burstIndex) {
        phase_ = Phase::Stalled;
        return;
    }
    EnterBusy(state_.settings.timing.burstBusyPolls, 0, Next::AfterBurst);
}

void EmulatedDrive::AfterBurst() {
    if (!transfer_.toHost) {
        if (auto error = transfer_.sink(transfer_.done, {transfer_.burst.data(), transfer_.burstData})) {
            return FailTransfer(*error);
        }
    }
    transfer_.done += transfer_.burstData;
    ++transfer_.burstIndex;
    if (transfer_.done < transfer_.total) return PrepareBurst();
    if (transfer_.finish) {
        if (auto error = transfer_.finish()) return FailTransfer(*error);
    }
    if (transfer_.packetProtocol) return CompletePacket(false);
    CompleteAtaCommand();
}

void EmulatedDrive::StorePacketByte(uint8_t value) {
    packet_[packetBytes_++] = value;
    if (packetBytes_ == packet_.size()) PacketReceived();
}

// DEVICE RESET stops whatever the drive was doing, even mid-transfer.
void EmulatedDrive::StartDeviceReset() {
    transfer_ = Transfer{};
    dscPendingPolls_ = 0;
    regs_.status = state_.settings.deviceResetStatus == ResetStatus::Zero ? 0 : ata::kBsy;
    const DriveTiming& timing = state_.settings.timing;
    EnterBusy(timing.resetBusyPolls, timing.resetMilliseconds, Next::DeviceResetDone);
}

// SRST resets the drive from its rising edge; the reset runs once the host releases it.
void EmulatedDrive::WriteControl(uint8_t value) {
    const bool wasHeld = (regs_.control & ata::kSrst) != 0;
    regs_.control = value;
    const bool held = (value & ata::kSrst) != 0;
    if (held && !wasHeld) {
        transfer_ = Transfer{};
        next_ = Next::None;
        dscPendingPolls_ = 0;
        regs_.status = ata::kBsy;
        phase_ = Phase::ResetHeld;
    } else if (!held && wasHeld && phase_ == Phase::ResetHeld) {
        const DriveTiming& timing = state_.settings.timing;
        EnterBusy(timing.resetBusyPolls, timing.resetMilliseconds, Next::SoftResetDone);
    }
}

void EmulatedDrive::Signature() {
    const bool packetDrive = state_.settings.variant == DriveVariant::Packet;
    regs_.sectorCount = 1;
    regs_.sectorNumber = 1;
    regs_.cylinderLow = packetDrive ? ata::kPacketSignatureLow : 0;
    regs_.cylinderHigh = packetDrive ? ata::kPacketSignatureHigh : 0;
}

// A packet drive comes out of a reset without DRDY and with the power-on/reset unit
// attention; an ATA drive comes out ready. A software reset selects device 0.
void EmulatedDrive::FinishReset(bool soft) {
    transfer_ = Transfer{};
    next_ = Next::None;
    dscPendingPolls_ = 0;
    phase_ = Phase::Idle;
    Signature();
    regs_.error = 0x01;  // diagnostic code: no error
    if (soft) regs_.deviceHead = 0;
    if (state_.settings.variant == DriveVariant::Packet) {
        regs_.status = 0;
        state_.sense.ClearCurrent();
        state_.sense.QueueUnitAttention(sense::kAscPowerOnOrReset);
    } else {
        regs_.status = ata::kDrdy | ata::kDsc;
    }
}

}  // namespace sim
