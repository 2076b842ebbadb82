// One register access through the I/O window table, against a plain volatile load of memory:
// to a device that does nothing, through a device's data run (the path of a burst's words),
// and to the emulated drive's status register. Run beside another thread that maps and unmaps windows, the access must stay
// lock-free (each removal there interrupts it with a process-wide barrier). Alternating between
// two windows shows the slow path that a thread takes whenever it changes windows.
#include <benchmark/benchmark.h>
#include <ceddk.h>
#include <platform/io_window.h>
#include <sim/drive/emulated_drive.h>

#include <array>
#include <atomic>
#include <thread>
#include <utility>

namespace {

class SilentDevice final : public platform::IoDevice {
public:
    uint8_t Read8(uint32_t) override { return 0; }
    void Write8(uint32_t, uint8_t) override {}
    uint16_t Read16(uint32_t) override { return 0; }
    void Write16(uint32_t, uint16_t) override {}
};

// Offers a 64 KiB data run at offset 0 to whichever thread reads there, again whenever the
// run is used up: a burst in the middle, as the drive offers it.
class RunDevice final : public platform::IoDevice {
public:
    uint8_t Read8(uint32_t) override { return 0; }
    void Write8(uint32_t, uint8_t) override {}
    uint16_t Read16(uint32_t) override {
        run_.next.store(burst_.data(), std::memory_order_relaxed);
        run_.end.store(burst_.data() + burst_.size(), std::memory_order_relaxed);
        run_.toHost.store(true, std::memory_order_relaxed);
        run_.owner.store(platform::ThisThreadsIoToken(), std::memory_order_release);
        return 0;
    }
    void Write16(uint32_t, uint16_t) override {}
    platform::IoDataRun* DataRun() override { return &run_; }

private:
    platform::IoDataRun run_{0};
    std::array<uint8_t, 65536> burst_{};
};

void BM_VolatileMemoryWord(benchmark::State& state) {
    volatile USHORT word = 0;
    for (auto _ : state) benchmark::DoNotOptimize(word);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VolatileMemoryWord);

// 16-bit reads of the device's register 0 through a window of its own.
void ReadWords(benchmark::State& state, platform::IoDevice& device) {
    PUCHAR window = platform::MapIoWindow(device, 16);
    auto* data = reinterpret_cast<volatile USHORT*>(window);
    for (auto _ : state) benchmark::DoNotOptimize(READ_REGISTER_USHORT(data));
    state.SetItemsProcessed(state.iterations());
    platform::UnmapIoWindow(window);
}

void BM_WindowWordToSilentDevice(benchmark::State& state) {
    SilentDevice device;
    ReadWords(state, device);
}
BENCHMARK(BM_WindowWordToSilentDevice);

void BM_WindowWordThroughDataRun(benchmark::State& state) {
    RunDevice device;
    ReadWords(state, device);
}
BENCHMARK(BM_WindowWordThroughDataRun);

void BM_WindowWordWhileWindowsComeAndGo(benchmark::State& state) {
    SilentDevice device, other;
    PUCHAR window = platform::MapIoWindow(device, 16);
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) platform::UnmapIoWindow(platform::MapIoWindow(other, 16));
    });
    auto* data = reinterpret_cast<volatile USHORT*>(window);
    for (auto _ : state) benchmark::DoNotOptimize(READ_REGISTER_USHORT(data));
    state.SetItemsProcessed(state.iterations());
    stop = true;
    churn.join();
    platform::UnmapIoWindow(window);
}
BENCHMARK(BM_WindowWordWhileWindowsComeAndGo);

void BM_WindowWordAlternatingWindows(benchmark::State& state) {
    SilentDevice device;
    PUCHAR first = platform::MapIoWindow(device, 16);
    PUCHAR second = platform::MapIoWindow(device, 16);
    auto* data = reinterpret_cast<volatile USHORT*>(first);
    auto* other = reinterpret_cast<volatile USHORT*>(second);
    for (auto _ : state) {
        benchmark::DoNotOptimize(READ_REGISTER_USHORT(data));
        std::swap(data, other);
    }
    state.SetItemsProcessed(state.iterations());
    platform::UnmapIoWindow(first);
    platform::UnmapIoWindow(second);
}
BENCHMARK(BM_WindowWordAlternatingWindows);

void BM_DriveStatusRead(benchmark::State& state) {
    sim::EmulatedDrive drive;
    PUCHAR window = platform::MapIoWindow(drive, sim::ata::kWindowSize);
    for (auto _ : state) benchmark::DoNotOptimize(READ_REGISTER_UCHAR(window + sim::ata::kStatus));
    state.SetItemsProcessed(state.iterations());
    platform::UnmapIoWindow(window);
}
BENCHMARK(BM_DriveStatusRead);

}  // namespace

BENCHMARK_MAIN();
