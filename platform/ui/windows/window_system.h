// The window system's state: every window by handle, the top-level z-order, and one message
// queue per thread. One mutex guards all of it; it is never held while a window procedure runs,
// so procedures may re-enter the window system freely and run nested modal loops.
#pragma once

#include <platform/ui/paint.h>
#include <platform/ui/surface.h>
#include <windows.h>
#include <winuser.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::ui {
// Work area: the screen less the taskbar at its bottom.
inline constexpr int kWorkAreaHeight = kScreenHeight - kTaskbarHeight;
}  // namespace platform::ui

namespace platform::ui::detail {

enum class Kind { Generic, Dialog, Button, Static, ComboBox, ProgressBar };

enum Modifier : uint8_t { kShift = 1, kControl = 2, kAlt = 4 };

struct ComboItem {
    std::u16string text;
    LPARAM data = 0;
};

struct Window {
    HWND handle = nullptr;
    Kind kind = Kind::Generic;
    std::u16string className;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::u16string text;
    RECT rect{};  // top-level: screen; child: the parent's client area
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children;  // creation order = z-order = tab order
    DWORD thread = 0;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    bool needsPaint = true;
    // What the window's own painting drew into its client area (top-level windows).
    std::shared_ptr<Surface> client;

    // Dialogs.
    DLGPROC dialogProc = nullptr;
    LONG_PTR dialogUser = 0;
    LONG_PTR messageResult = 0;
    int templateId = 0;
    bool ended = false;
    INT_PTR result = 0;
    int defaultId = IDOK;
    bool messageBox = false;
    UINT messageBoxType = 0;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;

    // Buttons.
    bool pressed = false;
    // Static icons.
    HICON icon = nullptr;
    // Progress bars.
    int low = 0, high = 100, position = 0, step = 10;
    // Drop-down lists.
    std::vector<ComboItem> items;
    int selection = -1;
    int highlight = -1;
    bool dropped = false;
    int droppedHeight = 0;
};

struct QueuedMessage {
    MSG message{};
    uint8_t modifiers = 0;
    bool keyboardInput = false;  // addressed to the thread's focus when it is taken
};

struct SentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    DWORD due = 0;
    TIMERPROC proc = nullptr;
};

struct ThreadQueue {
    DWORD thread = 0;
    std::deque<QueuedMessage> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    std::condition_variable wake;
    bool waiting = false;     // blocked for input in GetMessage
    int loops = 0;            // message loops running on the thread
    bool quit = false;
    int quitCode = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
};

class WindowSystem {
public:
    static WindowSystem& Get();

    std::mutex mutex;
    // Guards the client surfaces between BeginPaint and EndPaint against the presenters.
    std::mutex surfaces;
    // Signalled whenever windows appear, go, change or a queue goes idle (automation waits).
    std::condition_variable changed;

    Window* Find(HWND handle);
    HWND Add(std::unique_ptr<Window> window);
    void Erase(HWND handle);
    ThreadQueue& Queue(DWORD thread);
    ThreadQueue* ExistingQueue(DWORD thread);
    std::vector<ThreadQueue*> Queues();

    // Top-level windows, frontmost first.
    std::vector<HWND> zOrder;
    HWND foreground = nullptr;

    // Called (without the lock) when a top-level window is shown; the script runner logs.
    std::function<void(HWND)> onShown;

private:
    std::map<HWND, std::unique_ptr<Window>> windows_;
    std::map<DWORD, std::unique_ptr<ThreadQueue>> queues_;
    uintptr_t nextHandle_ = 0x10010;
};

using Guard = std::unique_lock<std::mutex>;
inline Guard Lock() { return Guard(WindowSystem::Get().mutex); }

// Lock held:
bool IsVisibleLocked(Window* window);  // itself and every parent visible
bool IsEnabledLocked(Window* window);
HWND TopLevelOfLocked(HWND window);
RECT ScreenRectLocked(Window* window);
RECT ClientRectOnScreenLocked(Window* window);
void NotifyLocked();  // wake automation waiters
// The window's look changed: its thread gets a paint request when next idle.
void MarkForPaintLocked(Window* window);
bool HasWorkLocked(ThreadQueue& queue);
// Puts a top-level window in front of the others of its band: topmost windows stay in front
// of all that are not.
void RaiseLocked(HWND top);
// Keeps the topmost windows in front, after a window joined or left their band.
void KeepTopmostInFrontLocked();
// Raises a shown top-level window and makes it its thread's active window. The keyboard
// follows the frontmost visible window, so a topmost window in front keeps it.
void BringForwardLocked(Window* top);
DWORD NextTimerDueLocked(bool& any);

// Lock not held:
LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostInput(DWORD thread, UINT message, WPARAM wParam, uint8_t modifiers, HWND window);
void RunShownHook(HWND window);

// Window classes.
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT DialogWindowProc(HWND, UINT, WPARAM, LPARAM);
// Case-insensitive class lookup; Generic for a class the window system does not know.
bool LookupClass(std::u16string_view name, Kind& kind, WNDPROC& proc);

}  // namespace platform::ui::detail

namespace platform::ui::detail {
// The caption's buttons on screen (empty when the window has none): the close box at the
// caption's right end, the help button to its left.
RECT CloseBoxRectLocked(Window* window);
RECT HelpButtonRectLocked(Window* window);
}  // namespace platform::ui::detail
