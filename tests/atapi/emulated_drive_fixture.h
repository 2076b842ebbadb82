// A drive context wired, as the card driver wires it, to the simulator's emulated drive in its
// PC Card socket (a real I/O window), with its medium in an image file and the virtual clock
// installed. The library is the built QVATAPI.DLL, loaded by file name.
#pragma once

#include <unistd.h>

#include <drive/drive_context.h>
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <sim/drive/emulated_drive.h>
#include <sim/drive/medium_image.h>
#include <sim/socket/pc_card_socket.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "qvatapi_library.h"

namespace atapi_test {

constexpr uint32_t kWindowSize = 16;
constexpr uint32_t kControlOffset = 0x0E;

class EmulatedDriveFixture : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = &platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
        ASSERT_NE(qv_.module, nullptr);
    }
    void TearDown() override {
        Unplug();
        for (const auto& image : images_) std::filesystem::remove(image);
    }

    // Builds the drive and puts its card in a fresh socket. A front device, when given, is
    // what the window reaches instead (it forwards to the drive); the socket then only keeps
    // the record, and the window is mapped here.
    void Insert(sim::DriveSettings settings = {}, bool wideBus = true,
                std::function<platform::IoDevice&(sim::EmulatedDrive&)> front = {}) {
        Unplug();
        drive_ = std::make_unique<sim::EmulatedDrive>(settings);
        socket_ = std::make_unique<sim::PcCardSocket>(wideBus);
        if (!front) {
            ASSERT_TRUE(socket_->Insert(*drive_));
            socket_->WireContext(context_);
            return;
        }
        frontWindow_ = platform::MapIoWindow(front(*drive_), kWindowSize);
        ASSERT_NE(frontWindow_.load(), nullptr);
        socket_->SetState(SOCKET_STATE_USABLE);
        context_.registerWindow = frontWindow_;
        context_.controlRegister = frontWindow_ + kControlOffset;
        context_.socket = &socket_->record();
        if (settings.variant == sim::DriveVariant::Ata) context_.deviceKind = DEVICE_KIND_ATA;
    }

    // A blank image of the given size, removed after the test.
    std::filesystem::path NewImage(uint32_t blocks) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        auto path = std::filesystem::path(::testing::TempDir()) /
                    (std::string("qvatapi_") + std::to_string(::getpid()) + "_" + test->name() + "_" +
                     std::to_string(images_.size()) + ".img");
        EXPECT_TRUE(sim::CreateBlankImage(path, blocks));
        images_.push_back(path);
        return path;
    }
    void InsertMedium(uint32_t blocks, sim::MediumOptions options = {}) {
        ASSERT_TRUE(drive_->InsertMedium(NewImage(blocks), options));
    }

    // Init as the card driver runs it: again until it answers, time passing between.
    bool InitDrive(int attempts = 20) {
        for (int i = 0; i < attempts; ++i) {
            if (qv_.init(&context_) == 1) return true;
            clock_->Advance(500);
        }
        return false;
    }
    // Init and the first CheckMedia, which consumes the unit attentions of power-on and
    // insertion and registers the medium.
    void BringUp() {
        ASSERT_TRUE(InitDrive());
        ASSERT_EQ(qv_.checkMedia(&context_), 0u);
    }

    // The card leaves the socket: the socket state changes first, then the window goes.
    void PullCard() {
        if (PUCHAR window = frontWindow_.exchange(nullptr)) {
            socket_->SetState(sim::PcCardSocket::kStateEmpty);
            platform::UnmapIoWindow(window);
        } else if (socket_) {
            socket_->PullCard();
        }
    }
    bool CardIn() const { return SocketStateOf(socket_->record()) == SOCKET_STATE_USABLE; }
    // Takes the card out and drops socket and drive, in that order.
    void Unplug() {
        if (socket_) PullCard();
        socket_.reset();
        drive_.reset();
    }

    std::vector<uint8_t> ImageBytes(const std::filesystem::path& image, uint64_t offset,
                                    size_t count) {
        std::vector<uint8_t> bytes(count);
        std::ifstream in(image, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
        return bytes;
    }

    const QvatapiLibrary& qv_ = QvatapiLibrary::Get();
    platform::VirtualClock* clock_ = nullptr;
    std::unique_ptr<sim::EmulatedDrive> drive_;
    std::unique_ptr<sim::PcCardSocket> socket_;
    DriveContext context_{};
    std::atomic<PUCHAR> frontWindow_{nullptr};
    std::vector<std::filesystem::path> images_;
};

// Bytes that differ from block to block and from pass to pass.
inline std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

}  // namespace atapi_test
