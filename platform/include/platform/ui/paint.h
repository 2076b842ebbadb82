// Painters of the handheld's three-dimensional look: window frames and captions, the dialog
// background, the controls the dialogs use, message-box icons and the taskbar. They take pixel
// rectangles in the context's coordinates and draw through the GDI subset, so they honour the
// context's clip. Layout (dialog units, which control is where) is the window system's job.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

namespace platform::ui {

// --- geometry shared with the window system ---
inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 240;
inline constexpr int kTaskbarHeight = 26;
inline constexpr int kDialogFrameWidth = 3;  // modal frame: 2 px raised edge + 1 px face
inline constexpr int kCaptionHeight = 19;    // 18 px bar + 1 px line under it
inline constexpr int kCaptionButtonWidth = 16;
inline constexpr int kCaptionButtonHeight = 14;
inline constexpr int kComboArrowWidth = 16;
inline constexpr int kListItemHeight = 13;   // one line of the dialog font
inline constexpr int kComboClosedHeight = 21;

// The system font (Liberation Sans, 11-pixel em) and its bold cut for captions. Shared stock
// objects: DeleteObject ignores them.
HFONT DialogFont();
HFONT CaptionFont();

// --- window frame and caption ---
enum class FrameActivity { Active, Inactive };

struct FrameLook {
    std::u16string_view title{};
    HICON smallIcon = nullptr;  // drawn 16 x 16 at the caption's left when given
    FrameActivity activity = FrameActivity::Active;
    bool closeBox = false;      // only with the system-menu style
    bool helpButton = false;    // the context-help extended style
    bool closePressed = false;  // the close box held down by the pointer
};

// The client area of a window with a modal frame and a caption.
RECT FrameClientRect(const RECT& window);
// The window rectangle for a client rectangle (the inverse of FrameClientRect).
RECT FrameWindowRect(const RECT& client);
// Caption buttons, for hit-testing; empty when the look has no such button.
RECT CaptionCloseBoxRect(const RECT& window, const FrameLook& look);
RECT CaptionHelpButtonRect(const RECT& window, const FrameLook& look);
// Paints the frame and caption only; the client area is left alone.
void PaintWindowFrame(HDC dc, const RECT& window, const FrameLook& look);

// The dialog background (the 3D face colour).
void PaintDialogBackground(HDC dc, const RECT& rect);

// --- push button ---
struct PushButtonLook {
    std::u16string_view text{};  // with '&' mnemonic prefixes
    bool pressed = false;
    bool focused = false;       // draws the focus rectangle
    bool defaultLook = false;   // the black default-button border
    bool enabled = true;
    HFONT font = nullptr;       // nullptr: the dialog font
};
void PaintPushButton(HDC dc, const RECT& rect, const PushButtonLook& look);

// --- static text ---
struct StaticTextLook {
    std::u16string_view text{};
    DWORD style = 0;            // the SS_ bits: left 0, centre 1, right 2, simple 0xB,
                                // left without word wrap 0xC, no prefix 0x80
    bool enabled = true;
    HFONT font = nullptr;
};
void PaintStaticText(HDC dc, const RECT& rect, const StaticTextLook& look);

// --- progress bar (msctls_progress32) ---
struct ProgressLook {
    int low = 0;
    int high = 100;
    int position = 0;           // clamped to low..high when painted
    bool border = false;        // WS_BORDER
};
// Blocks of two thirds of the bar's inner height with 2 px gaps; the last block is cut at the
// position's pixel.
void PaintProgressBar(HDC dc, const RECT& rect, const ProgressLook& look);

// --- drop-down-list combo box ---
struct ComboLook {
    std::u16string_view text{};  // the current selection's text ("" for none)
    bool focused = false;       // highlights the selection and draws the focus rectangle
    bool dropped = false;       // the arrow button drawn pushed
    bool enabled = true;
    HFONT font = nullptr;
};
// `rect` is the closed box (kComboClosedHeight high).
void PaintComboBox(HDC dc, const RECT& rect, const ComboLook& look);
RECT ComboArrowRect(const RECT& rect);

struct DroppedListLook {
    std::span<const std::u16string_view> items{};
    int selected = -1;          // highlighted item, -1 none
    int topIndex = 0;           // first item shown
    HFONT font = nullptr;
};
// The list under an open combo box: a black border, kListItemHeight rows, and a vertical
// scroll bar when not every item fits.
void PaintDroppedList(HDC dc, const RECT& rect, const DroppedListLook& look);
// The item under a point of the list, or -1.
int DroppedListItemAt(const RECT& rect, const DroppedListLook& look, POINT point);

// --- message-box icons (32 x 32) ---
enum class MessageIcon { Exclamation, Error, Information, Question };
void PaintMessageIcon(HDC dc, POINT topLeft, MessageIcon icon);

// --- taskbar ---
struct TaskbarEntry {
    std::u16string_view title{};
    HICON smallIcon = nullptr;
    bool active = false;        // drawn pushed in
};
// The strip at the bottom of the screen (kScreenWidth x kTaskbarHeight) with a button per entry.
void PaintTaskbar(HDC dc, const RECT& bar, std::span<const TaskbarEntry> entries);
RECT TaskbarButtonRect(const RECT& bar, size_t index, size_t count);

}  // namespace platform::ui
