// Window frame and caption of a dialog with a modal frame.
#include <platform/ui/paint.h>

#include "paint_tools.h"

namespace platform::ui {
namespace {

constexpr int kCaptionBarHeight = kCaptionHeight - 1;
constexpr int kButtonMargin = 2;

RECT CaptionBar(const RECT& window) {
    return RECT{window.left + kDialogFrameWidth, window.top + kDialogFrameWidth,
                window.right - kDialogFrameWidth, window.top + kDialogFrameWidth + kCaptionBarHeight};
}

// The rightmost caption button's place.
RECT RightmostButton(const RECT& window) {
    const RECT bar = CaptionBar(window);
    const int right = bar.right - kButtonMargin;
    const int top = bar.top + (kCaptionBarHeight - kCaptionButtonHeight) / 2;
    return RECT{right - kCaptionButtonWidth, top, right, top + kCaptionButtonHeight};
}

void CaptionButton(HDC dc, RECT rect, bool pressed) {
    DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
}

void CloseGlyph(HDC dc, const RECT& button, bool pressed) {
    const int offset = pressed ? 1 : 0;
    paint::Pattern(dc, button.left + 4 + offset, button.top + 3 + offset,
                   {"##....##", ".##..##.", "..####..", "...##...", "..####..", ".##..##.", "##....##"},
                   GetSysColor(COLOR_BTNTEXT));
}

void HelpGlyph(HDC dc, const RECT& button) {
    paint::Pattern(dc, button.left + 5, button.top + 2,
                   {".####.", "##..##", "....##", "...##.", "..##..", "..##..", "......", "..##..", "..##.."},
                   GetSysColor(COLOR_BTNTEXT));
}

}  // namespace

RECT FrameClientRect(const RECT& window) {
    return RECT{window.left + kDialogFrameWidth, window.top + kDialogFrameWidth + kCaptionHeight,
                window.right - kDialogFrameWidth, window.bottom - kDialogFrameWidth};
}

RECT FrameWindowRect(const RECT& client) {
    return RECT{client.left - kDialogFrameWidth, client.top - kDialogFrameWidth - kCaptionHeight,
                client.right + kDialogFrameWidth, client.bottom + kDialogFrameWidth};
}

RECT CaptionCloseBoxRect(const RECT& window, const FrameLook& look) {
    return look.closeBox ? RightmostButton(window) : RECT{};
}

RECT CaptionHelpButtonRect(const RECT& window, const FrameLook& look) {
    if (!look.helpButton) return RECT{};
    RECT rect = RightmostButton(window);
    if (look.closeBox) OffsetRect(&rect, -(kCaptionButtonWidth + kButtonMargin), 0);
    return rect;
}

void PaintWindowFrame(HDC dc, const RECT& window, const FrameLook& look) {
    RECT edge = window;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameRect(dc, &edge, GetSysColorBrush(COLOR_3DFACE));

    const bool active = look.activity == FrameActivity::Active;
    const RECT bar = CaptionBar(window);
    paint::Fill(dc, bar, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    const RECT line{bar.left, bar.bottom, bar.right, bar.bottom + 1};
    paint::Fill(dc, line, COLOR_3DFACE);

    int textLeft = bar.left + 2;
    if (look.smallIcon) {
        DrawIconEx(dc, bar.left + 1, bar.top + 1, look.smallIcon, 16, 16, 0, nullptr, DI_NORMAL);
        textLeft = bar.left + 1 + 16 + 2;
    }
    int textRight = bar.right - 2;
    const RECT close = CaptionCloseBoxRect(window, look);
    const RECT help = CaptionHelpButtonRect(window, look);
    if (look.closeBox) {
        CaptionButton(dc, close, look.closePressed);
        CloseGlyph(dc, close, look.closePressed);
        textRight = close.left - 2;
    }
    if (look.helpButton) {
        CaptionButton(dc, help, false);
        HelpGlyph(dc, help);
        textRight = help.left - 2;
    }
    paint::TextScope scope(dc, CaptionFont(),
                           GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    paint::Text(dc, look.title, RECT{textLeft, bar.top, textRight, bar.bottom},
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintDialogBackground(HDC dc, const RECT& rect) { paint::Fill(dc, rect, COLOR_3DFACE); }

}  // namespace platform::ui
