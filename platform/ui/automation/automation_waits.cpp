// Waiting for the programs on the simulated handheld, and moving virtual time for them.
#include <platform/ui/automation.h>

#include "../windows/window_system.h"

#include <platform/clock.h>

namespace platform::ui::automation {
namespace {

using detail::WindowSystem;
using RealTime = std::chrono::steady_clock;

constexpr auto kSlice = std::chrono::milliseconds(2);

// Every running loop has taken what is queued and is blocked waiting. A thread outside any
// loop counts as settled: what waits in its queue waits for its next loop.
bool SettledLocked() {
    for (detail::ThreadQueue* queue : WindowSystem::Get().Queues()) {
        if (queue->loops == 0) continue;
        if (detail::HasWorkLocked(*queue) || !queue->waiting) return false;
    }
    return true;
}

void WakeAllLocked() {
    for (detail::ThreadQueue* queue : WindowSystem::Get().Queues()) queue->wake.notify_all();
}

VirtualClock* Virtual() {
    platform::Clock& clock = CurrentClock();
    return clock.IsVirtual() ? static_cast<VirtualClock*>(&clock) : nullptr;
}

// Advances the virtual clock to the next timer due, at most `most` ms; false when no timer.
bool StepToNextTimer(DWORD most, DWORD& stepped) {
    VirtualClock* clock = Virtual();
    if (!clock) return false;
    auto lock = detail::Lock();
    bool any = false;
    const DWORD due = detail::NextTimerDueLocked(any);
    if (!any) return false;
    stepped = std::min(due, most);
    clock->Advance(stepped);
    WakeAllLocked();
    return true;
}

}  // namespace

bool Settle(Limit limit) {
    const auto deadline = RealTime::now() + limit;
    auto lock = detail::Lock();
    auto& system = WindowSystem::Get();
    while (!SettledLocked()) {
        if (RealTime::now() >= deadline) return false;
        system.changed.wait_for(lock, kSlice);
    }
    return true;
}

bool WaitUntil(const std::function<bool()>& condition, Limit limit) {
    const auto deadline = RealTime::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (RealTime::now() >= deadline) return false;
        bool settled;
        {
            auto lock = detail::Lock();
            settled = SettledLocked();
            if (!settled) WindowSystem::Get().changed.wait_for(lock, kSlice);
        }
        if (!settled) continue;
        if (condition()) return true;
        DWORD stepped = 0;
        if (!StepToNextTimer(60'000, stepped)) {
            auto lock = detail::Lock();
            WindowSystem::Get().changed.wait_for(lock, kSlice);
        } else if (stepped == 0) {
            // A timer is due but its loop has not taken it yet.
            auto lock = detail::Lock();
            WindowSystem::Get().changed.wait_for(lock, kSlice);
        }
    }
}

std::optional<WindowInfo> WaitForWindow(const std::function<bool(const WindowInfo&)>& match,
                                        Limit limit) {
    std::optional<WindowInfo> found;
    WaitUntil(
        [&] {
            for (auto& info : Windows()) {
                if (match(info)) {
                    found = info;
                    return true;
                }
            }
            return false;
        },
        limit);
    return found;
}

std::optional<WindowInfo> WaitForTitle(std::u16string_view title, Limit limit) {
    return WaitForWindow([&](const WindowInfo& info) { return info.title == title; }, limit);
}

std::optional<WindowInfo> WaitForTemplate(int templateId, Limit limit) {
    return WaitForWindow([&](const WindowInfo& info) { return info.templateId == templateId; },
                         limit);
}

bool WaitGone(HWND window, Limit limit) {
    return WaitUntil([&] { return !IsWindow(window); }, limit);
}

void AdvanceTime(DWORD milliseconds) {
    VirtualClock* clock = Virtual();
    if (!clock) return;
    DWORD remaining = milliseconds;
    for (;;) {
        Settle();
        DWORD stepped = 0;
        if (!StepToNextTimer(remaining, stepped)) break;
        remaining -= stepped;
        if (stepped == 0 && remaining == 0) break;
        if (stepped == 0) {
            // Due now: let its loop deliver it before moving on.
            Settle();
            auto lock = detail::Lock();
            bool any = false;
            if (detail::NextTimerDueLocked(any) == 0 && any) {
                WindowSystem::Get().changed.wait_for(lock, kSlice);
            }
            continue;
        }
    }
    if (remaining > 0) {
        clock->Advance(remaining);
        auto lock = detail::Lock();
        WakeAllLocked();
    }
    Settle();
}

}  // namespace platform::ui::automation
