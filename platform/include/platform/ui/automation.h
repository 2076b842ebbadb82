// The headless presenter's automation interface: what a user sees on the simulated handheld's
// screen and what a user does to it. Tests, scripts and demos drive programs through it.
//
// Time: on the virtual clock, time moves only through Sleep, VirtualClock::Advance and the
// waits below. A wait whose condition is not met lets every thread's message loop settle
// (nothing queued, no timer due), then advances the clock to the next timer due anywhere, and
// looks again. Wait limits are real time, so a wait never hangs.
#pragma once

#include <windows.h>

#include <platform/ui/surface.h>

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui::automation {

struct WindowInfo {
    HWND window = nullptr;
    std::u16string title;
    int templateId = 0;  // 0: not from a template (a message box)
    DWORD thread = 0;
    RECT rect{};         // screen
    bool active = false;
    bool enabled = true;
    bool messageBox = false;
    bool closeBox = false;
    bool helpButton = false;
    bool onTaskbar = false;
};

struct ControlInfo {
    HWND window = nullptr;
    int id = 0;
    std::u16string className;
    std::u16string text;
    DWORD style = 0;
    RECT rect{};  // screen
    bool visible = false;
    bool enabled = false;
    bool focused = false;
    bool defaultLook = false;
    bool pressed = false;
    // Progress bars.
    int low = 0, high = 0, position = 0;
    // Drop-down lists.
    std::vector<std::u16string> items;
    int selection = -1;
    bool dropped = false;
};

enum Modifiers : uint8_t { kNone = 0, kShift = 1, kControl = 2, kAlt = 4 };

// Top-level windows on the screen, frontmost first (hidden ones left out).
std::vector<WindowInfo> Windows();
std::optional<WindowInfo> Window(HWND window);
std::optional<WindowInfo> FindWindowByTitle(std::u16string_view title);
std::optional<WindowInfo> FindWindowByTemplate(int templateId);
std::vector<ControlInfo> Controls(HWND dialog);
std::optional<ControlInfo> Control(HWND dialog, int id);
// By caption, with or without its '&' marks.
std::optional<ControlInfo> ControlByText(HWND dialog, std::u16string_view text);
// The taskbar's entries: application windows (WS_EX_APPWINDOW), in z-order.
std::vector<WindowInfo> TaskbarEntries();

// Input. A click lands where a user's tap would: on the frontmost window under the point;
// disabled windows ignore it. Keys go to the foreground window's thread, to its focus.
bool ClickPoint(POINT screen);
bool Click(HWND control);
bool ClickCloseBox(HWND window);
bool ClickHelpButton(HWND window);
// Taps the window's button on the taskbar, which brings it to the front.
bool ClickTaskbarEntry(HWND window);
bool PressKey(UINT virtualKey, uint8_t modifiers = kNone);
// Key down only / key up only (Space presses on down and clicks on up).
bool KeyDown(UINT virtualKey, uint8_t modifiers = kNone);
bool KeyUp(UINT virtualKey, uint8_t modifiers = kNone);

// Waits. Each gives up after `limit` of real time.
using Limit = std::chrono::milliseconds;
inline constexpr Limit kDefaultLimit{10'000};
bool WaitUntil(const std::function<bool()>& condition, Limit limit = kDefaultLimit);
std::optional<WindowInfo> WaitForWindow(const std::function<bool(const WindowInfo&)>& match,
                                        Limit limit = kDefaultLimit);
std::optional<WindowInfo> WaitForTitle(std::u16string_view title, Limit limit = kDefaultLimit);
std::optional<WindowInfo> WaitForTemplate(int templateId, Limit limit = kDefaultLimit);
bool WaitGone(HWND window, Limit limit = kDefaultLimit);
// Lets every message loop finish what is queued (no clock movement).
bool Settle(Limit limit = kDefaultLimit);
// Virtual clock only: moves time on by `milliseconds`, delivering each timer as it falls due
// and settling after each.
void AdvanceTime(DWORD milliseconds);

// The screen as it looks now: desktop, windows back to front, taskbar.
Surface CaptureScreen();
// Writes the screen as a PNG; "" or what went wrong.
std::string Snapshot(const std::filesystem::path& file);

// Called on the showing thread each time a top-level window appears.
void SetWindowShownObserver(std::function<void(const WindowInfo&)> observer);
// What a run prints for a window shown: "shown: TITLE (template N)", then a line per control
// with its id, class and text, and a list's items below it, the selected one marked '*'.
std::string DescribeWindow(const WindowInfo& window);

// Ends a session as its user would: Cancel (IDCANCEL, as the Cancel button sends it) to the
// front window each time the screen settles, again when a window stays up, until `ended()`.
// A running job stops as its Cancel stops it, so nothing is lost. False when the program is
// still running after `limit`.
bool CancelUntilEnded(const std::function<bool()>& ended, Limit limit = kDefaultLimit);

}  // namespace platform::ui::automation
