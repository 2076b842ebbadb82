// The emulated drive as the socket sees it: an I/O device answering task-file and
// device-control register accesses, with a removable medium, power, and fault switches that
// tests throw from any thread.
#pragma once

#include <platform/io_window.h>

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "drive_lock.h"
#include "drive_settings.h"
#include "drive_state.h"
#include "packet_commands.h"
#include "task_file.h"

namespace sim {

// A command the drive accepted: the command register value and, for PACKET, its packet.
struct ReceivedCommand {
    uint8_t command = 0;
    Packet packet{};
    bool operator==(const ReceivedCommand&) const = default;
};

class EmulatedDrive final : public platform::IoDevice {
public:
    explicit EmulatedDrive(DriveSettings settings = {});
    // A drive that goes away leaves its socket as a pulled card does.
    ~EmulatedDrive() override;
    EmulatedDrive(const EmulatedDrive&) = delete;
    EmulatedDrive& operator=(const EmulatedDrive&) = delete;

    // Register access, as the window forwards it. Every access may be the one after which a
    // pull switch pulls the card.
    uint8_t Read8(uint32_t offset) override;
    void Write8(uint32_t offset, uint8_t value) override;
    uint16_t Read16(uint32_t offset) override;
    void Write16(uint32_t offset, uint16_t value) override;
    // The middle of each data burst, which the window moves without calling the drive.
    platform::IoDataRun* DataRun() override { return &run_; }

    // Power, as the socket switches it: power-on is a reset that also forgets the mode page
    // and queues the power-on unit attention; without power nothing answers (reads 0xFF).
    void PowerOn();
    void PowerOff();

    // The medium. Insertion replaces any medium in the drive and is a medium change; false
    // when the image cannot be opened (the drive is then empty).
    bool InsertMedium(const std::filesystem::path& image, MediumOptions options = {});
    void EjectMedium();
    void SetWriteProtected(bool writeProtected);
    bool HasMedium() const;
    uint32_t MediumBlocks() const;  // 0 without a medium
    DriveVariant Variant() const { return variant_; }

    // --- fault switches ---
    void InjectError(const InjectedError& error);
    // The next `times` REQUEST SENSE replies carry this sense, whatever is pending.
    void ReportSense(const Sense& sense, uint32_t times = 1);
    // The next command written to the command register stays busy until a reset.
    void StallNextCommand();
    // The next matching packet command stays busy after its packet, until a reset.
    void StallPacket(CommandMatch match);
    // The next packet data phase goes busy for good after this burst (counted from 0).
    void StallAfterBurst(uint32_t burst);
    // Every data burst at most this many bytes (odd allowed); 0 lifts the limit.
    void SetMaxBurst(uint16_t bytes);
    // The next packet data phase uses these burst sizes in order, then the normal ones.
    void SetBurstPattern(std::vector<uint16_t> sizes);
    // In the next packet data phase this burst raises DRQ with a byte count of 0.
    void AnnounceZeroCount(uint32_t burst);
    // The last burst of the next packet data phase announces (and carries) extra bytes more
    // than remain: padding on data-in, dropped on data-out.
    void AnnounceExtraBytes(uint16_t extra);
    // After this many further register accesses the card is pulled (the handler runs on the
    // accessing thread after the access, outside the drive's lock). 0 pulls at once.
    void PullCardAfterAccesses(uint32_t accesses);
    void SetCardPullHandler(std::function<void()> handler);
    // Nothing answering: every read gives 0xFF, writes go nowhere.
    void SetNothingAnswering(bool on);
    void SetAbortOnError(bool on);
    void SetWriteProtectAfterData(bool on);
    // Sees every packet the drive takes, on the accessing thread after the register access that
    // completed it, outside the drive's lock and (with a command busy for at least one access,
    // the default timing) before the packet runs: a test can throw a switch at an exact
    // command, the fifth WRITE(10) of a copy say. An empty function stops watching.
    void WatchPackets(std::function<void(const Packet&)> watcher);

    // --- what tests observe ---
    std::vector<ReceivedCommand> ReceivedCommands() const;
    void ClearReceivedCommands();
    uint8_t ModePage2F() const;
    uint64_t StatusReads() const;

private:
    enum class Phase : uint8_t { Off, Idle, Busy, Packet, DataIn, DataOut, ResetHeld, Stalled };
    enum class Next { None, ExecuteCommand, ExecutePacket, AfterBurst, DeviceResetDone, SoftResetDone };

    struct TaskFile {
        uint8_t error = 0, features = 0, sectorCount = 0, sectorNumber = 0;
        uint8_t cylinderLow = 0, cylinderHigh = 0, deviceHead = 0, status = 0, control = 0;
    };

    struct Transfer {
        bool packetProtocol = true;
        bool toHost = true;
        uint32_t total = 0;
        uint32_t done = 0;  // data bytes of finished bursts
        uint16_t limit = 0;
        DataSource source;
        DataSink sink;
        DataFinish finish;
        std::span<uint8_t> burst;  // data bytes, then any announced surplus (in burstBuffer_)
        uint32_t burstData = 0;
        size_t position = 0;
        uint32_t burstIndex = 0;
        std::vector<uint16_t> pattern;
        std::optional<uint32_t> zeroCountBurst;
        uint16_t extraBytes = 0;
        std::optional<uint32_t> stallAfterBurst;
    };

    // Data-phase faults waiting for the next packet data phase.
    struct PendingTransferFaults {
        std::vector<uint16_t> pattern;
        std::optional<uint32_t> zeroCountBurst;
        uint16_t extraBytes = 0;
        std::optional<uint32_t> stallAfterBurst;
    };

    // --- register access (drive_registers.cpp) ---
    uint8_t ReadRegister(uint32_t offset);
    void WriteRegister(uint32_t offset, uint8_t value);
    bool Selected() const;
    bool BusyShown() const;
    bool DrqShown() const;
    bool OwnsTaskFile() const;
    void Tick(bool statusRead);
    void TickBusy(bool statusRead);
    uint8_t TakeDataByte();
    void PutDataByte(uint8_t value);
    uint16_t ReadDataWord();
    void WriteDataWord(uint16_t value);
    uint8_t TakeByte();
    void PutByte(uint8_t value);
    uint16_t TakeWord();
    void PutWord(uint16_t value);
    uint8_t StatusShown();
    template <class Body>
    bool Fast(Body body);
    uint8_t FullRead8(uint32_t offset);
    void FullWrite8(uint32_t offset, uint8_t value);
    uint16_t FullRead16(uint32_t offset);
    void FullWrite16(uint32_t offset, uint16_t value);
    template <class Body>
    auto Access(Body body);
    // The drive's lock, which keeps the transfer in step with the data run: on entry the
    // burst's position catches up with the words moved through the run, on leaving the rest
    // of the burst is offered to this thread.
    class Lock {
    public:
        explicit Lock(EmulatedDrive& drive) : drive_(drive) {}
        void lock() {
            drive_.driveLock_.lock();
            drive_.CatchUpWithRun();
        }
        void unlock() {
            drive_.OfferRun();
            drive_.driveLock_.unlock();
        }

    private:
        EmulatedDrive& drive_;
    };
    void CatchUpWithRun();
    void OfferRun();
    void AfterAccess(std::unique_lock<Lock>& hold);
    bool Floating() const;

    // --- protocol (drive_protocol.cpp) ---
    void EnterBusy(uint32_t polls, DWORD milliseconds, Next next);
    void Continue();
    void WriteCommand(uint8_t command);
    void WriteControl(uint8_t value);
    void ExecutePacketNow();
    void Apply(const CommandOutcome& outcome);
    void CompletePacket(bool seek);
    void FailPacket(const Sense& sense, bool abort);
    void FailTransfer(const Sense& sense);
    void StorePacketByte(uint8_t value);
    void PacketReceived();
    void Note(uint8_t command, const Packet& packet);
    void StartTransfer(bool packetProtocol, bool toHost, uint32_t length, DataSource source,
                       DataSink sink, DataFinish finish);
    void PrepareBurst();
    uint32_t BurstSize(uint32_t remaining) const;
    void EndBurst();
    void AfterBurst();
    void StartDeviceReset();
    void FinishReset(bool soft);
    void Signature();

    // --- ATA commands (ata_commands.cpp) ---
    void ExecuteCommandNow();
    void AbortCommand();
    void CompleteAtaCommand();
    void RequestPacket();
    void IdentifyPacketDevice();
    void IdentifyDevice();
    void StartIdentify(bool packetIdentify);
    void GetMediaStatus();
    void AcknowledgeMediaChange();

    const DriveVariant variant_;
    mutable DriveLock driveLock_;
    mutable Lock lock_{*this};
    platform::IoDataRun run_{ata::kData};
    DriveState state_;
    Phase phase_ = Phase::Idle;
    TaskFile regs_;
    Transfer transfer_;
    // Holds the current burst; it only grows, so a burst neither allocates nor clears.
    std::vector<uint8_t> burstBuffer_;
    PendingTransferFaults pendingTransferFaults_;
    uint16_t maxBurst_ = 0;
    Packet packet_{};
    size_t packetBytes_ = 0;
    uint16_t packetLimit_ = 0;
    uint8_t command_ = 0;
    Next next_ = Next::None;
    uint32_t busyPolls_ = 0;
    DWORD busyStart_ = 0;
    DWORD busyMilliseconds_ = 0;
    uint32_t dscPendingPolls_ = 0;
    bool stallNextCommand_ = false;
    std::optional<CommandMatch> stallPacket_;
    bool nothingAnswering_ = false;
    std::optional<uint32_t> pullAfterAccesses_;
    bool pullDue_ = false;
    std::function<void()> pullHandler_;
    std::function<void(const Packet&)> packetWatcher_;
    std::optional<Packet> packetToWatch_;
    std::deque<ReceivedCommand> received_;
    uint64_t statusReads_ = 0;
};

}  // namespace sim
