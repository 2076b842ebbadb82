// The simulated handheld's screen and the window-frame metrics the window system lays out with.
#pragma once

namespace platform::ui {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 240;
constexpr int kTaskbarHeight = 26;
// Work area: the screen less the taskbar at its bottom.
constexpr int kWorkAreaHeight = kScreenHeight - kTaskbarHeight;

constexpr int kCaptionHeight = 20;
constexpr int kDialogFrame = 3;
constexpr int kCaptionButtonWidth = 16;
constexpr int kCaptionButtonHeight = 14;

// Dialog base units, fixed at those of 8-point MS Sans Serif at 96 dpi.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

// Height of a closed drop-down list, whatever the template gives (that is the dropped height).
constexpr int kComboClosedHeight = 20;

}  // namespace platform::ui
