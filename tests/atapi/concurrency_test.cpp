// QVATAPI entered from several threads on one drive: requests serialise on the socket's lock,
// and a card driver thread ends a wait in progress by changing the socket state.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "emulated_drive_fixture.h"

namespace atapi_test {
namespace {

// Forwards every access to the drive; can hold one status read until released, so another
// thread acts while a wait is certainly in progress.
class GateDevice : public platform::IoDevice {
public:
    explicit GateDevice(sim::EmulatedDrive& drive) : drive_(drive) {}

    void HoldStatusRead(uint64_t number) { holdAt_ = number; }
    void WaitUntilHolding() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return holding_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    uint8_t Read8(uint32_t offset) override {
        if (offset == 7 && ++statusReads_ == holdAt_) Hold();
        return drive_.Read8(offset);
    }
    void Write8(uint32_t offset, uint8_t value) override { drive_.Write8(offset, value); }
    uint16_t Read16(uint32_t offset) override { return drive_.Read16(offset); }
    void Write16(uint32_t offset, uint16_t value) override { drive_.Write16(offset, value); }

private:
    void Hold() {
        std::unique_lock lock(mutex_);
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
    }

    sim::EmulatedDrive& drive_;
    std::atomic<uint64_t> statusReads_{0};
    std::atomic<uint64_t> holdAt_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
    bool released_ = false;
};

class Concurrency : public EmulatedDriveFixture {};

TEST_F(Concurrency, TwoThreadsOnOneDriveTakeTurns) {
    Insert();
    const auto image = NewImage(4096);
    ASSERT_TRUE(drive_->InsertMedium(image));
    BringUp();
    auto worker = [&](DWORD firstBlock, uint32_t seed, bool checkMedia, int& failures) {
        for (int pass = 0; pass < 25; ++pass) {
            std::vector<uint8_t> written = Pattern(8192, seed + pass);
            auto request = SplitRequest<3>(firstBlock, written.data(), 8192);
            if (qv_.write(&context_, request.request()) != 0) ++failures;
            std::vector<uint8_t> read(8192);
            auto back = SplitRequest<2>(firstBlock, read.data(), 8192);
            if (qv_.read(&context_, back.request()) != 0 || read != written) ++failures;
            if (checkMedia && qv_.checkMedia(&context_) != 0) ++failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(worker, 0, 100, false, std::ref(failuresA));
    std::thread b(worker, 2000, 200, true, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    EXPECT_EQ(context_.mediumPresent, 1u);
}

TEST_F(Concurrency, ACardPulledByAnotherThreadEndsAWaitInProgressWith20) {
    std::unique_ptr<GateDevice> gate;
    Insert({}, true, [&](sim::EmulatedDrive& drive) -> platform::IoDevice& {
        gate = std::make_unique<GateDevice>(drive);
        return *gate;
    });
    InsertMedium(1024);
    BringUp();
    drive_->StallPacket(sim::CommandMatch{0x28});  // the read's data never comes
    gate->HoldStatusRead(drive_->StatusReads() + 50);

    DWORD result = 0;
    std::thread reader([&] {
        std::vector<uint8_t> data(1024);
        auto request = SplitRequest<2>(0, data.data(), 1024);
        result = qv_.read(&context_, request.request());
    });
    gate->WaitUntilHolding();
    std::thread cardDriver([&] {
        socket_->SetState(sim::PcCardSocket::kStateEmpty);  // the card is going
        gate->Release();
        PullCard();
    });
    cardDriver.join();
    reader.join();
    EXPECT_EQ(result, 20u);
    EXPECT_EQ(context_.mediumPresent, 1u);  // for the card driver's removal to settle
}

}  // namespace
}  // namespace atapi_test
