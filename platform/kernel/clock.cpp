#include <platform/clock.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

constexpr FileTimeTicks kTicksPerMs = 10'000;
constexpr FileTimeTicks kUnixEpochTicks = 116'444'736'000'000'000ull;

class RealClock final : public Clock {
public:
    DWORD TickCount() override {
        auto since = std::chrono::steady_clock::now() - start_;
        return static_cast<DWORD>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void Sleep(DWORD milliseconds) override {
        if (milliseconds == 0) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        }
    }
    FileTimeTicks UtcNow() override {
        auto since = std::chrono::system_clock::now().time_since_epoch();
        auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
        return kUnixEpochTicks + static_cast<FileTimeTicks>(units);
    }
    int64_t LocalOffsetMinutes(FileTimeTicks utc) override {
        const time_t seconds = static_cast<time_t>((utc - kUnixEpochTicks) / 10'000'000);
        struct tm local {};
        localtime_r(&seconds, &local);
        return local.tm_gmtoff / 60;
    }
    bool IsVirtual() const override { return false; }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

RealClock& TheRealClock() {
    static RealClock* clock = new RealClock;
    return *clock;
}

std::atomic<Clock*> current{nullptr};

}  // namespace

VirtualClock::VirtualClock(const SYSTEMTIME& localStart, DWORD startTick,
                           int64_t localOffsetMinutes)
    : startTick_(startTick), offsetMinutes_(localOffsetMinutes) {
    SetLocalTime(localStart);
}

DWORD VirtualClock::TickCount() {
    return startTick_ + static_cast<DWORD>(elapsed_.load(std::memory_order_relaxed));
}

void VirtualClock::Sleep(DWORD milliseconds) {
    Advance(milliseconds);
    std::this_thread::yield();
}

void VirtualClock::Advance(DWORD milliseconds) {
    elapsed_.fetch_add(milliseconds, std::memory_order_relaxed);
}

uint64_t VirtualClock::ElapsedMilliseconds() const {
    return elapsed_.load(std::memory_order_relaxed);
}

FileTimeTicks VirtualClock::UtcNow() {
    return utcOrigin_.load(std::memory_order_relaxed) + ElapsedMilliseconds() * kTicksPerMs;
}

void VirtualClock::SetLocalTime(const SYSTEMTIME& local) {
    FileTimeTicks ticks = 0;
    if (!ToFileTimeTicks(local, ticks)) return;
    const auto offset = static_cast<FileTimeTicks>(offsetMinutes_ * 60 * 1000) * kTicksPerMs;
    utcOrigin_.store(ticks - offset - ElapsedMilliseconds() * kTicksPerMs,
                     std::memory_order_relaxed);
}

Clock& CurrentClock() {
    Clock* clock = current.load(std::memory_order_acquire);
    return clock ? *clock : TheRealClock();
}

void UseRealClock() { current.store(&TheRealClock(), std::memory_order_release); }

VirtualClock& UseVirtualClock(const SYSTEMTIME& localStart, DWORD startTick,
                              int64_t localOffsetMinutes) {
    // Clocks are never freed: a thread may still be reading the one it found.
    static std::mutex mutex;
    static auto* installed = new std::vector<std::unique_ptr<VirtualClock>>;
    std::lock_guard lock(mutex);
    installed->push_back(std::make_unique<VirtualClock>(localStart, startTick, localOffsetMinutes));
    current.store(installed->back().get(), std::memory_order_release);
    return *installed->back();
}

}  // namespace platform
