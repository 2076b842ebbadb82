// A device's data run: words that the window moves without calling the device, for the one
// thread the run is offered to, stopped from any other thread and by the window's removal.
#include <ceddk.h>
#include <platform/io_window.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Offers its whole buffer as the run of its data register (offset 0), as a drive offers the
// middle of a burst: every call first collects the words moved through the run (taking it
// back when another thread holds it), then offers the run to the calling thread again.
class RunDevice final : public platform::IoDevice {
public:
    explicit RunDevice(size_t runWords) : buffer_(runWords * 2) {}

    uint8_t Read8(uint32_t) override { return 0; }
    void Write8(uint32_t, uint8_t) override {}
    uint16_t Read16(uint32_t) override {
        std::lock_guard hold(lock_);
        ++calls_;
        return 0xD0D0;
    }
    void Write16(uint32_t offset, uint16_t value) override {
        std::lock_guard hold(lock_);
        Collect();
        words_.push_back(value);
        ++calls_;
        if (offset == run_.offset && reoffer_) Offer(ThisThreadsToken(), false);
    }
    platform::IoDataRun* DataRun() override { return &run_; }

    // As the device does under its lock: the run from the start of the buffer.
    void Offer(const void* owner, bool toHost, size_t words = SIZE_MAX) {
        uint8_t* const start = buffer_.data();
        run_.next.store(start, std::memory_order_relaxed);
        run_.end.store(start + std::min(words * 2, buffer_.size()), std::memory_order_relaxed);
        run_.toHost.store(toHost, std::memory_order_relaxed);
        run_.owner.store(owner, std::memory_order_release);
    }
    static const void* ThisThreadsToken() { return platform::ThisThreadsIoToken(); }

    // Collects from another thread, as a switch thrown at the device does.
    std::vector<uint16_t> TakeWords() {
        std::lock_guard hold(lock_);
        Collect();
        return std::move(words_);
    }
    uint64_t Calls() {
        std::lock_guard hold(lock_);
        return calls_;
    }
    uint8_t* Buffer() { return buffer_.data(); }
    void StopReoffering() {
        std::lock_guard hold(lock_);
        reoffer_ = false;
    }

private:
    void Collect() {
        const void* const owner = run_.owner.load(std::memory_order_acquire);
        if (owner == nullptr) return;
        if (owner != ThisThreadsToken()) platform::StopIoDataRun(run_);
        const uint8_t* const next = run_.next.load(std::memory_order_relaxed);
        for (const uint8_t* p = buffer_.data(); p < next; p += 2) {
            words_.push_back(static_cast<uint16_t>(p[0] | p[1] << 8));
        }
        run_.owner.store(nullptr, std::memory_order_relaxed);
    }

    platform::IoDataRun run_{0};
    std::vector<uint8_t> buffer_;
    std::mutex lock_;
    std::vector<uint16_t> words_;
    uint64_t calls_ = 0;
    bool reoffer_ = true;
};

volatile USHORT* Word(PUCHAR base, uint32_t offset) {
    return reinterpret_cast<volatile USHORT*>(base + offset);
}

TEST(DataRun, OnlyItsOwnersWordsAtItsRegisterAndInItsDirectionMoveThroughIt) {
    const int elsewhere = 0;
    struct Case {
        const char* name;
        bool ownedHere;
        const void* otherOwner;
        bool runToHost;
        bool readWord;
        uint32_t offset;
        size_t runWords;
        bool throughRun;
    } const cases[] = {
        {"write, owned here", true, nullptr, false, false, 0, 4, true},
        {"read, owned here", true, nullptr, true, true, 0, 4, true},
        {"owned by another thread", false, &elsewhere, false, false, 0, 4, false},
        {"offered to no one", false, nullptr, false, false, 0, 4, false},
        {"write into a run to the host", true, nullptr, true, false, 0, 4, false},
        {"read from a run from the host", true, nullptr, false, true, 0, 4, false},
        {"another register", true, nullptr, false, false, 2, 4, false},
        {"run used up", true, nullptr, false, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunDevice device(4);
        PUCHAR base = platform::MapIoWindow(device, 16);
        device.Buffer()[0] = 0x34;
        device.Buffer()[1] = 0x12;
        device.StopReoffering();
        READ_REGISTER_UCHAR(base + 7);  // the window this thread used last, as a status poll makes it
        device.Offer(c.ownedHere ? RunDevice::ThisThreadsToken() : c.otherOwner, c.runToHost,
                     c.runWords);
        if (c.readWord) {
            EXPECT_EQ(READ_REGISTER_USHORT(Word(base, c.offset)), c.throughRun ? 0x1234 : 0xD0D0);
        } else {
            WRITE_REGISTER_USHORT(Word(base, c.offset), 0xBEEF);
        }
        EXPECT_EQ(device.Calls(), c.throughRun ? 0u : 1u);
        if (!c.readWord && c.throughRun) {
            EXPECT_EQ(device.Buffer()[0] | device.Buffer()[1] << 8, 0xBEEF);
        }
        platform::UnmapIoWindow(base);
    }
}

// One thread writes a numbered stream of words, through the run while it holds it and by the
// device's call otherwise; another keeps taking the run away. Every word arrives once, in order.
TEST(DataRun, TakingTheRunFromAnotherThreadLosesAndRepeatsNoWord) {
    RunDevice device(8);
    PUCHAR base = platform::MapIoWindow(device, 16);
    constexpr uint16_t kWords = 30000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint16_t i = 1; i <= kWords; ++i) WRITE_REGISTER_USHORT(Word(base, 0), i);
        done = true;
    });
    std::vector<uint16_t> words;
    while (!done) {
        auto taken = device.TakeWords();
        words.insert(words.end(), taken.begin(), taken.end());
        std::this_thread::yield();
    }
    writer.join();
    auto rest = device.TakeWords();
    words.insert(words.end(), rest.begin(), rest.end());
    ASSERT_EQ(words.size(), kWords);
    for (uint16_t i = 0; i < kWords; ++i) ASSERT_EQ(words[i], i + 1) << "at word " << i;
    EXPECT_LT(device.Calls(), kWords);  // most words went through the run
    platform::UnmapIoWindow(base);
}

// A card pulled while a thread streams words through the run: once the window is gone, no
// word reaches the run any more, and the writer's next access fails as any access would.
TEST(DataRun, RemovingTheWindowEndsTheWordsThroughItsRun) {
    RunDevice device(1 << 20);
    PUCHAR base = platform::MapIoWindow(device, 16);
    std::atomic<uint64_t> written{0};
    std::thread writer([&] {
        while (platform::GuardRegisterAccess([&] { WRITE_REGISTER_USHORT(Word(base, 0), 0x5A5A); })) {
            written.fetch_add(1);
        }
    });
    while (written.load() < 1000) std::this_thread::yield();
    platform::UnmapIoWindow(base);
    const auto left = [&] {
        std::vector<uint8_t> bytes(device.Buffer(), device.Buffer() + (1 << 21));
        return bytes;
    };
    const auto atRemoval = left();
    const uint64_t callsAtRemoval = device.Calls();
    writer.join();
    EXPECT_EQ(left(), atRemoval);
    EXPECT_EQ(device.Calls(), callsAtRemoval);
}

}  // namespace
