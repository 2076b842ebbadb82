// The drive's registers as the window forwards them. The words in the middle of a burst
// move through the data run without coming here; every other access does, so the common
// ones (the last word of a burst, a status read of an idle or data-phase drive) stay in this
// file, where they inline into the entry points: the lock, a few loads and branches, and the
// lock again.
#include <windows.h>

#include <utility>

#include "emulated_drive.h"

namespace sim {

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

void EmulatedDrive::AfterAccess(std::unique_lock<Lock>& hold) {
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

// --- the data run ---
// Words moved through the run are the burst's own: whoever holds the lock first brings the
// burst's position up to where the run got, taking the run back from the thread it was
// offered to when that is another one.
void EmulatedDrive::CatchUpWithRun() {
    const void* const owner = run_.owner.load(std::memory_order_acquire);
    if (owner == nullptr) return;
    if (owner != platform::ThisThreadsIoToken()) platform::StopIoDataRun(run_);
    transfer_.position = static_cast<size_t>(run_.next.load(std::memory_order_relaxed) -
                                             transfer_.burst.data());
}

// The run covers the burst's words up to, not including, its last one, whose access ends the
// burst here. Pull counting and a drive that does not answer see every access themselves.
void EmulatedDrive::OfferRun() {
    const size_t size = transfer_.burst.size();
    if ((phase_ == Phase::DataIn || phase_ == Phase::DataOut) && !nothingAnswering_ &&
        !pullAfterAccesses_ && transfer_.position + 2 < size) {
        uint8_t* const burst = transfer_.burst.data();
        run_.next.store(burst + transfer_.position, std::memory_order_relaxed);
        run_.end.store(burst + size - 2, std::memory_order_relaxed);
        run_.toHost.store(phase_ == Phase::DataIn, std::memory_order_relaxed);
        run_.owner.store(platform::ThisThreadsIoToken(), std::memory_order_release);
    } else if (run_.owner.load(std::memory_order_relaxed) != nullptr) {
        run_.owner.store(nullptr, std::memory_order_relaxed);
    }
}

inline bool EmulatedDrive::Floating() const { return nothingAnswering_ || phase_ == Phase::Off; }

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
    } else if (statusRead || (BusyShown() && offset >= ata::kError && offset <= ata::kDeviceHead)) {
        return regs_.status;  // while busy every task-file register reads as the status
    }
    switch (offset) {
        case ata::kError: return regs_.error;
        case ata::kSectorCount: return regs_.sectorCount;
        case ata::kSectorNumber: return regs_.sectorNumber;
        case ata::kByteCountLow: return regs_.cylinderLow;
        case ata::kByteCountHigh: return regs_.cylinderHigh;
        case ata::kDeviceHead: return regs_.deviceHead;
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
// DSC counts status reads. Most accesses find nothing to count down.
inline void EmulatedDrive::Tick(bool statusRead) {
    if (statusRead) ++statusReads_;
    if (phase_ == Phase::Busy || (statusRead && dscPendingPolls_ > 0)) [[unlikely]] {
        TickBusy(statusRead);
    }
}

void EmulatedDrive::TickBusy(bool statusRead) {
    if (phase_ == Phase::Busy) {
        if (busyPolls_ > 0) {
            --busyPolls_;
            return;
        }
        if (busyMilliseconds_ > 0 && GetTickCount() - busyStart_ < busyMilliseconds_) return;
        Continue();
    } else if (statusRead && phase_ == Phase::Idle && dscPendingPolls_ > 0 &&
               --dscPendingPolls_ == 0) {
        regs_.status |= ata::kDsc;
    }
}

// --- the data register (these and the helpers above marked inline are used only here) ---
// The burst's bytes and position are read into locals: stores through a byte pointer could
// alias any member, which would make the compiler reload them after every byte.

// One byte or word of the burst in a data phase; the last one ends the burst.
inline uint8_t EmulatedDrive::TakeByte() {
    const uint8_t value = transfer_.burst[transfer_.position++];
    if (transfer_.position == transfer_.burst.size()) EndBurst();
    return value;
}

inline uint16_t EmulatedDrive::TakeWord() {
    const uint8_t* const burst = transfer_.burst.data();
    const size_t size = transfer_.burst.size();
    size_t position = transfer_.position;
    const uint8_t low = burst[position++];
    // An odd burst ends in the low byte of its last word.
    const uint8_t high = position < size ? burst[position++] : 0;
    transfer_.position = position;
    if (position == size) EndBurst();
    return static_cast<uint16_t>(low | high << 8);
}

inline void EmulatedDrive::PutByte(uint8_t value) {
    transfer_.burst[transfer_.position++] = value;
    if (transfer_.position == transfer_.burst.size()) EndBurst();
}

inline void EmulatedDrive::PutWord(uint16_t value) {
    uint8_t* const burst = transfer_.burst.data();
    const size_t size = transfer_.burst.size();
    size_t position = transfer_.position;
    burst[position++] = static_cast<uint8_t>(value);
    // The high byte of an odd burst's last word is filler and dropped.
    if (position < size) burst[position++] = static_cast<uint8_t>(value >> 8);
    transfer_.position = position;
    if (position == size) EndBurst();
}

inline uint8_t EmulatedDrive::TakeDataByte() {
    if (Floating()) return 0xFF;
    Tick(false);
    if (phase_ != Phase::DataIn) return 0;  // DRQ clear: nothing moves
    return TakeByte();
}

inline uint16_t EmulatedDrive::ReadDataWord() {
    if (Floating()) return 0xFFFF;
    Tick(false);
    if (phase_ != Phase::DataIn) return 0;
    return TakeWord();
}

inline void EmulatedDrive::PutDataByte(uint8_t value) {
    if (Floating()) return;
    Tick(false);
    if (phase_ == Phase::Packet) {
        StorePacketByte(value);
    } else if (phase_ == Phase::DataOut) {
        PutByte(value);
    }
}

inline void EmulatedDrive::WriteDataWord(uint16_t value) {
    if (Floating()) return;
    Tick(false);
    if (phase_ == Phase::DataOut) [[likely]] {
        PutWord(value);
    } else if (phase_ == Phase::Packet) {
        StorePacketByte(static_cast<uint8_t>(value));
        if (phase_ == Phase::Packet) StorePacketByte(static_cast<uint8_t>(value >> 8));
    }
}

// --- the fast path ---
// Nearly every access of a transfer is a data word in the middle of a burst, and nearly every
// other one a status poll of a drive that is not busy. Neither needs the tick (nothing counts
// down outside a busy phase), nor the after-access work (no pull counting, and a packet to
// watch only ever follows the access that completed the packet). So when the lock is had by
// its bias and the drive answers with no pull armed, `body` does the access alone: true when it
// could, false (having changed nothing) when the access needs the full path.
template <class Body>
inline bool EmulatedDrive::Fast(Body body) {
    DriveLockRecord* const self = driveLock_.TryLockBiased();
    if (self == nullptr) [[unlikely]] return false;
    bool done = false;
    if (!nothingAnswering_ && !pullAfterAccesses_) [[likely]] {
        CatchUpWithRun();
        done = body();
        OfferRun();
    }
    DriveLock::UnlockBiased(*self);
    return done;
}

// What a status read shows when nothing counts status reads down, as ReadRegister would.
inline uint8_t EmulatedDrive::StatusShown() {
    ++statusReads_;
    return Selected() ? regs_.status : 0x00;
}

// --- the entry points ---
// The full paths are calls of their own, so that the fast path needs no stack frame.

__attribute__((noinline)) uint8_t EmulatedDrive::FullRead8(uint32_t offset) {
    return Access([&] { return offset == ata::kData ? TakeDataByte() : ReadRegister(offset); });
}

uint8_t EmulatedDrive::Read8(uint32_t offset) {
    uint8_t value = 0;
    const bool fast = offset == ata::kData ? Fast([&] {
        if (phase_ != Phase::DataIn) return false;
        value = TakeByte();
        return true;
    }) : (offset == ata::kStatus || offset == ata::kControl) && Fast([&] {
        if (phase_ == Phase::Busy || phase_ == Phase::Off || dscPendingPolls_ > 0) return false;
        value = StatusShown();
        return true;
    });
    return fast ? value : FullRead8(offset);
}

__attribute__((noinline)) void EmulatedDrive::FullWrite8(uint32_t offset, uint8_t value) {
    Access([&] {
        if (offset == ata::kData) {
            PutDataByte(value);
        } else {
            WriteRegister(offset, value);
        }
        return 0;
    });
}

void EmulatedDrive::Write8(uint32_t offset, uint8_t value) {
    const bool fast = offset == ata::kData && Fast([&] {
        if (phase_ != Phase::DataOut) return false;
        PutByte(value);
        return true;
    });
    if (!fast) FullWrite8(offset, value);
}

// Only the data register is 16 bits wide; a word access elsewhere reaches two byte registers.
__attribute__((noinline)) uint16_t EmulatedDrive::FullRead16(uint32_t offset) {
    return Access([&]() -> uint16_t {
        if (offset == ata::kData) return ReadDataWord();
        const uint8_t low = ReadRegister(offset);
        return static_cast<uint16_t>(low | ReadRegister(offset + 1) << 8);
    });
}

uint16_t EmulatedDrive::Read16(uint32_t offset) {
    uint16_t value = 0;
    const bool fast = offset == ata::kData && Fast([&] {
        if (phase_ != Phase::DataIn) return false;
        value = TakeWord();
        return true;
    });
    return fast ? value : FullRead16(offset);
}

__attribute__((noinline)) void EmulatedDrive::FullWrite16(uint32_t offset, uint16_t value) {
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

void EmulatedDrive::Write16(uint32_t offset, uint16_t value) {
    const bool fast = offset == ata::kData && Fast([&] {
        if (phase_ != Phase::DataOut) return false;
        PutWord(value);
        return true;
    });
    if (!fast) FullWrite16(offset, value);
}

}  // namespace sim
