// A drive context wired, as the card driver wires it, to the simulator's emulated drive behind
// a real I/O window, with its medium in an image file and the virtual clock installed. The
// library is the built QVATAPI.DLL, loaded by file name.
#pragma once

#include <ceddk.h>
#include <drive/drive_context.h>
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <sim/drive/emulated_drive.h>
#include <sim/drive/medium_image.h>

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
        InitializeCriticalSection(&socket_.socketLock);
    }
    void TearDown() override {
        Unmap();
        drive_.reset();
        DeleteCriticalSection(&socket_.socketLock);
        for (const auto& image : images_) std::filesystem::remove(image);
    }

    // Builds the drive and puts the card in the socket. A front device, when given, is what
    // the window reaches (it forwards to the drive).
    void Insert(sim::DriveSettings settings = {}, bool wideBus = true,
                std::function<platform::IoDevice&(sim::EmulatedDrive&)> front = {}) {
        drive_ = std::make_unique<sim::EmulatedDrive>(settings);
        drive_->SetCardPullHandler([this] { PullCard(); });
        socket_.socketWideBus = wideBus ? 1 : 0;
        SetSocketState(socket_, SOCKET_STATE_USABLE);
        window_ = platform::MapIoWindow(front ? front(*drive_) : *drive_, kWindowSize);
        ASSERT_NE(window_.load(), nullptr);
        context_.registerWindow = window_;
        context_.controlRegister = window_ + kControlOffset;
        context_.socket = &socket_;
        if (settings.variant == sim::DriveVariant::Ata) context_.deviceKind = DEVICE_KIND_ATA;
    }

    // A blank image of the given size, removed after the test.
    std::filesystem::path NewImage(uint32_t blocks) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        auto path = std::filesystem::path(::testing::TempDir()) /
                    (std::string("qvatapi_") + test->name() + "_" +
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
            Settle();
        }
        return false;
    }
    // Init and the first CheckMedia, which consumes the unit attentions of power-on and
    // insertion and registers the medium.
    void BringUp() {
        ASSERT_TRUE(InitDrive());
        ASSERT_EQ(qv_.checkMedia(&context_), 0u);
    }

    // Time passing for the drive, which counts it in status polls: one read of the alternate
    // status register, as the card driver's own polling would do.
    void Settle() { (void)READ_REGISTER_UCHAR(context_.controlRegister); }

    // The card leaves the socket: the socket state changes first, then the window goes.
    void PullCard() {
        SetSocketState(socket_, 1);
        Unmap();
    }
    void Unmap() {
        if (PUCHAR window = window_.exchange(nullptr)) platform::UnmapIoWindow(window);
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
    SocketRecord socket_{};
    DriveContext context_{};
    std::atomic<PUCHAR> window_{nullptr};
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
