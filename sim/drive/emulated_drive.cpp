// The drive's outside: register access as the window forwards it, power, medium, fault
// switches and observation. Every entry takes the drive's lock, so a test thread may eject the
// medium or throw a switch while the driver is in the middle of a command.
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

// Runs one register access under the lock. What must follow it (the pull the pull switch
// counted down to, a taken packet a watcher wants to see) runs after the lock is given back,
// since a pull waits for other accesses to end.
template <class Body>
auto EmulatedDrive::Access(Body body) {
    std::unique_lock hold(lock_);
    auto value = body();
    if (pullAfterAccesses_ || packetToWatch_) [[unlikely]] AfterAccess(hold);
    return value;
}

void EmulatedDrive::AfterAccess(std::unique_lock<DriveLock>& hold) {
    std::function<void()> pull;
    std::function<void(const Packet&)> watch;
    std::optional<Packet> watched;
    if (pullAfterAccesses_ && --*pullAfterAccesses_ == 0) {
        pullAfterAccesses_.reset();
        pull = pullHandler_;
    }
    if (packetToWatch_) {
        watched = std::exchange(packetToWatch_, std::nullopt);
        watch = packetWatcher_;
    }
    hold.unlock();
    if (watch) watch(*watched);
    if (pull) pull();
}

uint8_t EmulatedDrive::Read8(uint32_t offset) {
    return Access([&] { return offset == ata::kData ? TakeDataByte() : ReadRegister(offset); });
}

void EmulatedDrive::Write8(uint32_t offset, uint8_t value) {
    Access([&] {
        if (offset == ata::kData) {
            PutDataByte(value);
        } else {
            WriteRegister(offset, value);
        }
        return 0;
    });
}

// Only the data register is 16 bits wide; a word access elsewhere reaches two byte registers.
uint16_t EmulatedDrive::Read16(uint32_t offset) {
    return Access([&]() -> uint16_t {
        if (offset == ata::kData) return ReadDataWord();
        const uint8_t low = ReadRegister(offset);
        return static_cast<uint16_t>(low | ReadRegister(offset + 1) << 8);
    });
}

void EmulatedDrive::Write16(uint32_t offset, uint16_t value) {
    Access([&] {
        if (offset == ata::kData) {
            WriteDataWord(value);
        } else {
            WriteRegister(offset, static_cast<uint8_t>(value));
            WriteRegister(offset + 1, static_cast<uint8_t>(value >> 8));
        }
        return 0;
    });
}

bool EmulatedDrive::Floating() const { return nothingAnswering_ || phase_ == Phase::Off; }

bool EmulatedDrive::Selected() const {
    const bool device1 = (regs_.deviceHead & ata::kDeviceBit) != 0;
    return device1 == (state_.settings.position == DrivePosition::Device1);
}

bool EmulatedDrive::BusyShown() const { return (regs_.status & ata::kBsy) != 0; }
bool EmulatedDrive::DrqShown() const { return (regs_.status & ata::kDrq) != 0; }

// Busy, in a data phase, or resetting (which a drive may run without showing BSY).
bool EmulatedDrive::OwnsTaskFile() const {
    return BusyShown() || DrqShown() || phase_ == Phase::ResetHeld ||
           (phase_ == Phase::Busy && next_ == Next::DeviceResetDone);
}

uint8_t EmulatedDrive::ReadRegister(uint32_t offset) {
    if (Floating()) return 0xFF;
    const bool statusRead = offset == ata::kStatus || offset == ata::kControl;
    Tick(statusRead);
    if (!Selected()) {
        // The empty position: no status, but the task file the host wrote reads back.
        if (statusRead) return 0x00;
    } else if (BusyShown() && offset >= ata::kError && offset <= ata::kDeviceHead) {
        return regs_.status;  // while busy every task-file register reads as the status
    }
    switch (offset) {
        case ata::kError: return regs_.error;
        case ata::kSectorCount: return regs_.sectorCount;
        case ata::kSectorNumber: return regs_.sectorNumber;
        case ata::kByteCountLow: return regs_.cylinderLow;
        case ata::kByteCountHigh: return regs_.cylinderHigh;
        case ata::kDeviceHead: return regs_.deviceHead;
        case ata::kStatus:
        case ata::kControl: return regs_.status;
        default: return 0xFF;
    }
}

void EmulatedDrive::WriteRegister(uint32_t offset, uint8_t value) {
    if (Floating()) return;
    Tick(false);
    if (offset == ata::kStatus) return WriteCommand(value);
    if (offset == ata::kControl) return WriteControl(value);
    if (offset < ata::kError || offset > ata::kDeviceHead) return;
    if (OwnsTaskFile()) return;
    switch (offset) {
        case ata::kError: regs_.features = value; break;
        case ata::kSectorCount: regs_.sectorCount = value; break;
        case ata::kSectorNumber: regs_.sectorNumber = value; break;
        case ata::kByteCountLow: regs_.cylinderLow = value; break;
        case ata::kByteCountHigh: regs_.cylinderHigh = value; break;
        case ata::kDeviceHead: regs_.deviceHead = value; break;
    }
}

// The drive's time on the bus: every register access takes as long, so a busy phase lasts a
// number of accesses (that see BSY) and, where configured, milliseconds on the platform
// clock. The access that finds the phase over already sees the drive's next state. A lagging
// DSC counts status reads.
void EmulatedDrive::Tick(bool statusRead) {
    if (statusRead) ++statusReads_;
    if (phase_ == Phase::Busy) {
        if (busyPolls_ > 0) {
            --busyPolls_;
            return;
        }
        if (GetTickCount() - busyStart_ < busyMilliseconds_) return;
        Continue();
    } else if (statusRead && phase_ == Phase::Idle && dscPendingPolls_ > 0 &&
               --dscPendingPolls_ == 0) {
        regs_.status |= ata::kDsc;
    }
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
