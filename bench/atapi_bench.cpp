// Sequential 64 KiB reads and writes through QVATAPI.DLL and the emulated drive behind an I/O
// window, as the card driver's handler issues them: MB/s and register accesses per second
// (on the 16-bit path most words move through the drive's data run, the share shown), beside
// memcpy of the same bytes for scale. A request carries at most 65535 bytes, so 64 KiB
// is two requests of 32 KiB, in four segments each.
#include <benchmark/benchmark.h>
#include <drive/drive_context.h>
#include <platform/io_window.h>
#include <qvatapi.h>
#include <sim/drive/emulated_drive.h>
#include <sim/drive/medium_image.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kChunk = 64 * 1024;
constexpr DWORD kHalf = kChunk / 2;
constexpr uint32_t kBlocks = 16384;  // 8 MiB medium

// Counts the accesses that reach the drive. The drive's data run is offered through it, so
// the words in the middle of a burst never come here: they are the burst's words less the
// 16-bit data accesses counted here.
class CountingDevice : public platform::IoDevice {
public:
    explicit CountingDevice(platform::IoDevice& inner) : inner_(inner) {}
    uint64_t accesses = 0;
    uint64_t dataWords = 0;
    uint8_t Read8(uint32_t offset) override { return ++accesses, inner_.Read8(offset); }
    void Write8(uint32_t offset, uint8_t value) override { ++accesses, inner_.Write8(offset, value); }
    uint16_t Read16(uint32_t offset) override {
        ++accesses;
        if (offset == 0) ++dataWords;
        return inner_.Read16(offset);
    }
    void Write16(uint32_t offset, uint16_t value) override {
        ++accesses;
        if (offset == 0) ++dataWords;
        inner_.Write16(offset, value);
    }
    platform::IoDataRun* DataRun() override { return inner_.DataRun(); }

private:
    platform::IoDevice& inner_;
};

template <class Function>
Function Resolve(HMODULE module, const WCHAR* name) {
    return reinterpret_cast<Function>(GetProcAddress(module, name));
}

// One drive in its socket, brought up as the card driver brings it up.
class Bench {
public:
    explicit Bench(bool wideBus) {
        image_ = std::filesystem::temp_directory_path() / "qvatapi_bench.img";
        sim::CreateBlankImage(image_, kBlocks);
        drive_.InsertMedium(image_);
        InitializeCriticalSection(&socket_.socketLock);
        SetSocketState(socket_, SOCKET_STATE_USABLE);
        socket_.socketWideBus = wideBus ? 1 : 0;
        window_ = platform::MapIoWindow(counter_, 16);
        context_.registerWindow = window_;
        context_.controlRegister = window_ + 0x0E;
        context_.socket = &socket_;
        HMODULE module = LoadLibrary(u"QVATAPI.DLL");
        read_ = Resolve<QvTransferFunction>(module, u"Read");
        write_ = Resolve<QvTransferFunction>(module, u"Write");
        auto init = Resolve<QvInitFunction>(module, u"Init");
        auto checkMedia = Resolve<QvCheckMediaFunction>(module, u"CheckMedia");
        for (int i = 0; i < 10 && !(init && init(&context_) == 1); ++i) {
        }
        if (checkMedia) checkMedia(&context_);
        buffer_.assign(kChunk, 0x5A);
    }
    ~Bench() {
        platform::UnmapIoWindow(window_);
        std::filesystem::remove(image_);
    }
    bool Ready() const { return read_ && write_ && context_.mediumPresent == 1; }

    // 64 KiB at position (in chunks); false on any failure.
    bool Move(QvTransferFunction operation, DWORD chunk) {
        const DWORD first = (chunk % (kBlocks / (kChunk / 512))) * (kChunk / 512);
        for (DWORD half = 0; half < 2; ++half) {
            DiskRequestWith<4> request;
            request.startSector = first + half * (kHalf / 512);
            for (DWORD i = 0; i < 4; ++i) {
                request.segments[i] =
                    DiskSegment{buffer_.data() + half * kHalf + i * (kHalf / 4), kHalf / 4};
            }
            if (operation(&context_, request.request()) != 0) return false;
        }
        return true;
    }

    // One sector at sector, as the FAT writes its tables and folder entries.
    bool One(QvTransferFunction operation, DWORD sector) {
        DiskRequestWith<1> request;
        request.startSector = sector;
        request.segments[0] = DiskSegment{buffer_.data(), 512};
        return operation(&context_, request.request()) == 0;
    }

    QvTransferFunction read_ = nullptr;
    QvTransferFunction write_ = nullptr;
    CountingDevice& counter() { return counter_; }

private:
    std::filesystem::path image_;
    sim::EmulatedDrive drive_;
    CountingDevice counter_{drive_};
    SocketRecord socket_{};
    DriveContext context_{};
    PUCHAR window_ = nullptr;
    std::vector<BYTE> buffer_;
};

void Run(benchmark::State& state, bool write) {
    Bench bench(state.range(0) != 0);
    if (!bench.Ready()) {
        state.SkipWithError("the drive did not come up");
        return;
    }
    const bool wide = state.range(0) != 0;
    DWORD chunk = 0;
    const uint64_t before = bench.counter().accesses;
    const uint64_t wordsBefore = bench.counter().dataWords;
    for (auto _ : state) {
        if (!bench.Move(write ? bench.write_ : bench.read_, chunk++)) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    const uint64_t bytes = static_cast<uint64_t>(state.iterations()) * kChunk;
    const uint64_t throughRun = wide ? bytes / 2 - (bench.counter().dataWords - wordsBefore) : 0;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["accesses/s"] = benchmark::Counter(
        static_cast<double>(bench.counter().accesses - before + throughRun),
        benchmark::Counter::kIsRate);
    state.counters["through run"] = static_cast<double>(throughRun) / static_cast<double>(bytes / 2);
}

void BM_QvatapiRead64KiB(benchmark::State& state) { Run(state, false); }
void BM_QvatapiWrite64KiB(benchmark::State& state) { Run(state, true); }

void BM_Memcpy64KiB(benchmark::State& state) {
    std::vector<uint8_t> from(kChunk, 0x5A), to(kChunk);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kChunk);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kChunk);
}

// The fixed cost of a command: one sector, the same one each time, through the 16-bit path.
void RunOneSector(benchmark::State& state, bool write) {
    Bench bench(true);
    if (!bench.Ready()) {
        state.SkipWithError("the drive did not come up");
        return;
    }
    const uint64_t before = bench.counter().accesses;
    for (auto _ : state) {
        if (!bench.One(write ? bench.write_ : bench.read_, 100)) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    state.counters["accesses/command"] =
        static_cast<double>(bench.counter().accesses - before) / static_cast<double>(state.iterations());
}

void BM_QvatapiWriteOneSector(benchmark::State& state) { RunOneSector(state, true); }
void BM_QvatapiReadOneSector(benchmark::State& state) { RunOneSector(state, false); }
BENCHMARK(BM_QvatapiWriteOneSector);
BENCHMARK(BM_QvatapiReadOneSector);

// Argument: 1 = 16-bit data path, 0 = 8-bit.
BENCHMARK(BM_QvatapiRead64KiB)->Arg(1)->Arg(0);
BENCHMARK(BM_QvatapiWrite64KiB)->Arg(1)->Arg(0);
BENCHMARK(BM_Memcpy64KiB);

}  // namespace

BENCHMARK_MAIN();
