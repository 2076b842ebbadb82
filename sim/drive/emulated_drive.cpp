// The drive's outside beside its registers (drive_registers.cpp): power, medium, fault switches
// and observation. Every entry takes the drive's lock, so a test thread may eject the medium or
// throw a switch while the driver is in the middle of a command.
#include "emulated_drive.h"

#include <windows.h>

#include <utility>

namespace sim {

EmulatedDrive::EmulatedDrive(DriveSettings settings)
    : variant_(settings.variant), state_(std::move(settings)) {
    PowerOn();
}

EmulatedDrive::~EmulatedDrive() {
    std::function<void()> pull;
    {
        std::lock_guard hold(lock_);
        pull = pullHandler_;
    }
    if (pull) pull();
}

void EmulatedDrive::PowerOn() {
    std::lock_guard hold(lock_);
    transfer_ = Transfer{};
    regs_ = TaskFile{};
    state_.sense.ClearAll();
    state_.page2F = state_.settings.page2FInitial;
    state_.mediaChangePending = false;  // a medium already in at power-on is no change
    stallNextCommand_ = false;
    stallPacket_.reset();
    FinishReset(true);
}

void EmulatedDrive::PowerOff() {
    std::lock_guard hold(lock_);
    transfer_ = Transfer{};
    phase_ = Phase::Off;
}

bool EmulatedDrive::InsertMedium(const std::filesystem::path& image, MediumOptions options) {
    auto medium = MediumImage::Open(image);
    std::lock_guard hold(lock_);
    state_.medium = std::move(medium);
    state_.mediumOptions = options;
    ++state_.mediumGeneration;
    if (!state_.medium) return false;
    state_.sense.QueueUnitAttention(sense::kAscMediumChanged);
    state_.mediaChangePending = true;
    const DriveTiming& timing = state_.settings.timing;
    state_.becomingReadyCommands = timing.becomingReadyCommands;
    state_.becomingReadyTimed = timing.becomingReadyMilliseconds > 0;
    state_.becomingReadyUntil = GetTickCount() + timing.becomingReadyMilliseconds;
    return true;
}

void EmulatedDrive::EjectMedium() {
    std::lock_guard hold(lock_);
    if (!state_.medium) return;
    state_.medium.reset();
    ++state_.mediumGeneration;
    state_.mediaChangePending = false;
}

void EmulatedDrive::SetWriteProtected(bool writeProtected) {
    std::lock_guard hold(lock_);
    state_.mediumOptions.writeProtected = writeProtected;
}

bool EmulatedDrive::HasMedium() const {
    std::lock_guard hold(lock_);
    return state_.HasMedium();
}

uint32_t EmulatedDrive::MediumBlocks() const {
    std::lock_guard hold(lock_);
    return state_.medium ? state_.medium->blocks() : 0;
}

void EmulatedDrive::InjectError(const InjectedError& error) {
    std::lock_guard hold(lock_);
    if (error.times == 0) {
        state_.faults.error.reset();
    } else {
        state_.faults.error = error;
    }
}

void EmulatedDrive::ReportSense(const Sense& sense, uint32_t times) {
    std::lock_guard hold(lock_);
    state_.faults.reportedSense = sense;
    state_.faults.reportedSenseTimes = times;
}

void EmulatedDrive::StallNextCommand() {
    std::lock_guard hold(lock_);
    stallNextCommand_ = true;
}

void EmulatedDrive::StallPacket(CommandMatch match) {
    std::lock_guard hold(lock_);
    stallPacket_ = match;
}

void EmulatedDrive::StallAfterBurst(uint32_t burst) {
    std::lock_guard hold(lock_);
    pendingTransferFaults_.stallAfterBurst = burst;
}

void EmulatedDrive::SetMaxBurst(uint16_t bytes) {
    std::lock_guard hold(lock_);
    maxBurst_ = bytes;
}

void EmulatedDrive::SetBurstPattern(std::vector<uint16_t> sizes) {
    std::lock_guard hold(lock_);
    pendingTransferFaults_.pattern = std::move(sizes);
}

void EmulatedDrive::AnnounceZeroCount(uint32_t burst) {
    std::lock_guard hold(lock_);
    pendingTransferFaults_.zeroCountBurst = burst;
}

void EmulatedDrive::AnnounceExtraBytes(uint16_t extra) {
    std::lock_guard hold(lock_);
    pendingTransferFaults_.extraBytes = extra;
}

void EmulatedDrive::PullCardAfterAccesses(uint32_t accesses) {
    std::function<void()> pull;
    {
        std::lock_guard hold(lock_);
        if (accesses == 0) {
            pullAfterAccesses_.reset();
            pull = pullHandler_;
        } else {
            pullAfterAccesses_ = accesses;
        }
    }
    if (pull) pull();
}

void EmulatedDrive::SetCardPullHandler(std::function<void()> handler) {
    std::lock_guard hold(lock_);
    pullHandler_ = std::move(handler);
}

void EmulatedDrive::SetNothingAnswering(bool on) {
    std::lock_guard hold(lock_);
    nothingAnswering_ = on;
}

void EmulatedDrive::SetAbortOnError(bool on) {
    std::lock_guard hold(lock_);
    state_.faults.abortOnError = on;
}

void EmulatedDrive::SetWriteProtectAfterData(bool on) {
    std::lock_guard hold(lock_);
    state_.faults.writeProtectAfterData = on;
}

std::vector<ReceivedCommand> EmulatedDrive::ReceivedCommands() const {
    std::lock_guard hold(lock_);
    return {received_.begin(), received_.end()};
}

void EmulatedDrive::ClearReceivedCommands() {
    std::lock_guard hold(lock_);
    received_.clear();
}

uint8_t EmulatedDrive::ModePage2F() const {
    std::lock_guard hold(lock_);
    return state_.page2F;
}

uint64_t EmulatedDrive::StatusReads() const {
    std::lock_guard hold(lock_);
    return statusReads_;
}

}  // namespace sim

namespace sim {

void EmulatedDrive::WatchPackets(std::function<void(const Packet&)> watcher) {
    std::lock_guard hold(lock_);
    packetWatcher_ = std::move(watcher);
    packetToWatch_.reset();
}

}  // namespace sim
