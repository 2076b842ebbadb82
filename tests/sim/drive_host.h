// The host side of the emulated drive for its tests: the drive's registers in an I/O window,
// reached through the platform's register accessors as a driver reaches them, and the few
// protocol steps every test repeats (select, packet, bursts, sense).
#pragma once

#include <ceddk.h>
#include <gtest/gtest.h>
#include <platform/io_window.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/drive/emulated_drive.h"
#include "sim/drive/task_file.h"

namespace sim_test {

using sim::Packet;
namespace ata = sim::ata;

inline Packet Cdb(std::initializer_list<uint8_t> bytes) {
    Packet packet{};
    std::copy(bytes.begin(), bytes.end(), packet.begin());
    return packet;
}
inline Packet TestUnitReady() { return Cdb({0x00}); }
inline Packet RequestSense(uint8_t allocation = 26) { return Cdb({0x03, 0, 0, 0, allocation}); }
inline Packet VendorStatus(uint8_t allocation = 64) { return Cdb({0x06, 0, 0x02, 0, allocation}); }
inline Packet ModeSense2F(uint8_t allocation = 10, uint8_t control = 0) {
    return Cdb({0x1A, 0x08, static_cast<uint8_t>(control << 6 | 0x2F), 0, allocation});
}
inline Packet ModeSelect(uint8_t length = 10) { return Cdb({0x15, 0x10, 0, 0, length}); }
inline Packet TenByte(uint8_t opcode, uint32_t lba, uint16_t blocks) {
    return Cdb({opcode, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0,
                static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks)});
}
inline Packet Read10(uint32_t lba, uint16_t blocks) { return TenByte(0x28, lba, blocks); }
inline Packet Write10(uint32_t lba, uint16_t blocks) { return TenByte(0x2A, lba, blocks); }

enum class Path { Narrow, Wide };

// What a packet command left behind: its data, the size of each burst as announced, and the
// final status and error registers.
struct Outcome {
    uint8_t status = 0;
    uint8_t error = 0;
    uint8_t reason = 0;
    std::vector<uint8_t> data;
    std::vector<uint16_t> bursts;
};

class DriveHost {
public:
    explicit DriveHost(sim::EmulatedDrive& drive) {
        window_ = platform::MapIoWindow(drive, ata::kWindowSize);
    }
    ~DriveHost() {
        if (window_ != nullptr) platform::UnmapIoWindow(window_);
    }
    DriveHost(const DriveHost&) = delete;
    DriveHost& operator=(const DriveHost&) = delete;

    PUCHAR window() const { return window_; }
    uint8_t Read(uint32_t offset) { return READ_REGISTER_UCHAR(window_ + offset); }
    void Write(uint32_t offset, uint8_t value) { WRITE_REGISTER_UCHAR(window_ + offset, value); }
    uint16_t ReadWord() { return READ_REGISTER_USHORT(DataWord()); }
    void WriteWord(uint16_t value) { WRITE_REGISTER_USHORT(DataWord(), value); }
    uint8_t Status() { return Read(ata::kStatus); }
    uint16_t ByteCount() {
        return static_cast<uint16_t>(Read(ata::kByteCountLow) | Read(ata::kByteCountHigh) << 8);
    }

    // Polls until BSY clears; a drive still busy after many polls fails the test.
    uint8_t WaitNotBusy(int polls = 1000) {
        for (int i = 0; i < polls; ++i) {
            const uint8_t status = Status();
            if (!(status & ata::kBsy)) return status;
        }
        ADD_FAILURE() << "drive still busy after " << polls << " polls";
        return Status();
    }

    void Select(uint8_t select = 0xA0) { Write(ata::kDeviceHead, select); }
    void Command(uint8_t command) { Write(ata::kStatus, command); }

    // PACKET with the byte-count limit, then the 12 packet bytes once the drive asks for them.
    void SendPacket(const Packet& packet, uint16_t limit, Path path = Path::Wide) {
        Select();
        Write(ata::kByteCountLow, static_cast<uint8_t>(limit));
        Write(ata::kByteCountHigh, static_cast<uint8_t>(limit >> 8));
        Command(ata::kPacket);
        const uint8_t status = WaitNotBusy();
        EXPECT_EQ(status & ata::kDrq, ata::kDrq) << "no packet request";
        EXPECT_EQ(Read(ata::kSectorCount), ata::kReasonPacket);
        if (path == Path::Wide) {
            for (size_t i = 0; i < packet.size(); i += 2) {
                WriteWord(static_cast<uint16_t>(packet[i] | packet[i + 1] << 8));
            }
        } else {
            for (uint8_t byte : packet) Write(ata::kData, byte);
        }
    }

    // Runs a whole packet command: every burst is moved exactly as announced (data-out takes
    // its bytes from `out`, then zeros).
    Outcome Run(const Packet& packet, uint16_t limit, Path path = Path::Wide,
                std::span<const uint8_t> out = {}) {
        SendPacket(packet, limit, path);
        Outcome outcome;
        size_t sent = 0;
        for (uint8_t status = WaitNotBusy(); status & ata::kDrq; status = WaitNotBusy()) {
            const uint16_t count = ByteCount();
            outcome.bursts.push_back(count);
            if (count == 0) break;  // a zero-count burst would never end: leave it to the test
            if (Read(ata::kSectorCount) == ata::kReasonDataIn) {
                ReadBurst(count, path, outcome.data);
            } else {
                WriteBurst(count, path, out, sent);
            }
        }
        outcome.status = Status();
        outcome.error = Read(ata::kError);
        outcome.reason = Read(ata::kSectorCount);
        return outcome;
    }

    void ReadBurst(uint16_t count, Path path, std::vector<uint8_t>& into) {
        if (path == Path::Narrow) {
            for (uint16_t i = 0; i < count; ++i) into.push_back(Read(ata::kData));
            return;
        }
        for (uint16_t i = 0; i < count; i += 2) {
            const uint16_t word = ReadWord();
            into.push_back(static_cast<uint8_t>(word));
            if (i + 1 < count) into.push_back(static_cast<uint8_t>(word >> 8));
        }
    }

    void WriteBurst(uint16_t count, Path path, std::span<const uint8_t> out, size_t& sent) {
        auto next = [&]() -> uint8_t { return sent < out.size() ? out[sent++] : (sent++, 0); };
        if (path == Path::Narrow) {
            for (uint16_t i = 0; i < count; ++i) Write(ata::kData, next());
            return;
        }
        for (uint16_t i = 0; i < count; i += 2) {
            const uint8_t low = next();
            const uint8_t high = i + 1 < count ? next() : 0xDD;
            WriteWord(static_cast<uint16_t>(low | high << 8));
        }
    }

    // REQUEST SENSE's key, ASC and ASCQ.
    sim::Sense Sense() {
        const Outcome outcome = Run(RequestSense(), 26);
        EXPECT_EQ(outcome.data.size(), 26u);
        if (outcome.data.size() < 14) return {};
        return sim::Sense{outcome.data[2], outcome.data[12], outcome.data[13]};
    }

    // Consumes the unit attentions a fresh drive holds, so a test starts from a quiet drive.
    void ClearUnitAttentions() {
        for (int i = 0; i < 4; ++i) {
            if (Sense().key != 6) return;
        }
    }

private:
    volatile USHORT* DataWord() { return reinterpret_cast<volatile USHORT*>(window_ + ata::kData); }

    PUCHAR window_ = nullptr;
};

// A medium image in the test's temporary folder, removed afterwards.
class TempImage {
public:
    explicit TempImage(uint32_t blocks, const std::string& name = "medium.img") {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("tandel-sim-" + std::to_string(::getpid()) + "-" + test->test_suite_name() +
                   "-" + test->name());
        std::filesystem::create_directories(folder_);
        path_ = folder_ / name;
        EXPECT_TRUE(sim::CreateBlankImage(path_, blocks));
    }
    ~TempImage() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

    std::vector<uint8_t> ReadBytes(uint64_t offset, size_t count) const {
        std::ifstream file(path_, std::ios::binary);
        file.seekg(static_cast<std::streamoff>(offset));
        std::vector<uint8_t> bytes(count);
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
        return bytes;
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

}  // namespace sim_test
