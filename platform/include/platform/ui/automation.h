// Automation: what tests, demos and scripts use to drive programs on the simulated handheld
// as a user would (read the dialogs on the screen, press buttons and keys, use the close box,
// take snapshots) without a display. Every call is made from a thread other than the program's.
#pragma once

#include <platform/ui/surface.h>

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "../../windef.h"

namespace platform::ui::automation {

struct ControlInfo {
    HWND window = nullptr;
    int id = 0;
    std::u16string className;
    std::u16string text;
    DWORD style = 0;
    RECT rect{};  // in the dialog's client area
    bool visible = false;
    bool enabled = false;
    bool focused = false;
    int position = 0;  // progress bars: the position as shown (clamped to the range)
    HICON icon = nullptr;
};

struct DialogInfo {
    HWND window = nullptr;
    DWORD thread = 0;
    int templateId = 0;  // 0 for a message box or a dialog built in memory
    bool messageBox = false;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};    // on the screen, frame included
    RECT client{};  // on the screen
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool foreground = false;
    std::vector<ControlInfo> controls;

    const ControlInfo* Control(int id) const;
    // The text of a message box (its static text control).
    std::u16string MessageText() const;
};

// Visible dialogs and message boxes, frontmost first.
std::vector<DialogInfo> Dialogs();
// The work area: the screen less the taskbar.
RECT WorkArea();

// True when every thread running a modal loop is waiting for input with nothing queued, no
// timer due and nothing to paint: what a user would see is what the screen shows.
bool Settled();
// Waits (real time) until the screen is settled and the frontmost dialog satisfies `want`.
std::optional<DialogInfo> WaitForDialog(const std::function<bool(const DialogInfo&)>& want,
                                        int timeoutMs = 10000);
std::optional<DialogInfo> WaitForDialog(int templateId, int timeoutMs = 10000);
std::optional<DialogInfo> WaitForMessageBox(int timeoutMs = 10000);
// Waits until the screen is settled, whatever it shows.
bool WaitSettled(int timeoutMs = 10000);

// A tap on control `id` of the dialog.
bool Click(HWND dialog, int id);
// A key pressed and released on the dialog's thread, with modifiers held (MOD_ values below).
enum KeyModifier : uint8_t { kModShift = 1, kModControl = 2, kModAlt = 4 };
bool PressKey(HWND dialog, UINT virtualKey, uint8_t modifiers = 0);
// A tap on the caption's close box; false when the dialog has none.
bool ClickCloseBox(HWND dialog);

// The whole screen as the presenters show it.
Surface ComposeCurrentScreen();
// A PNG of the screen; an empty string, or why it failed.
std::string Snapshot(const std::filesystem::path& file);

// Prints each dialog as it is shown (title, template and the texts of its controls).
void LogShownDialogs(std::ostream* out);
std::string DescribeDialog(const DialogInfo& dialog);

struct ScriptHooks {
    // Commands the runner does not know (starting programs, the handheld's hardware): gives
    // "" or why it failed; nullopt for a command it does not know either.
    std::function<std::optional<std::string>(const std::string& command, const std::string& argument)> extra;
    // Where relative snapshot paths go.
    std::filesystem::path snapshotFolder;
};

// Runs a script of user actions against whatever runs on the handheld, one command a line:
//   wait-dialog <template id>|message-box|<title>   expect-text <control id> <text>
//   press <control id>|<caption>    key [Alt+|Shift+|Ctrl+]<Enter|Escape|Tab|Space|letter>
//   close    snapshot <file>    sleep <ms>
// Texts use \n for a line break. Lines starting with # are comments. Gives "" or the first
// failure with its line number.
std::string RunScript(std::istream& script, std::ostream& log, const ScriptHooks& hooks = {});

}  // namespace platform::ui::automation
