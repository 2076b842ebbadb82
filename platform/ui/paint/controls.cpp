// Push button, static text and progress bar.
#include <platform/ui/paint.h>

#include "paint_tools.h"

#include <algorithm>

namespace platform::ui {
namespace {

constexpr int kFocusInset = 4;
constexpr int kProgressGap = 2;

UINT StaticFormat(DWORD style) {
    constexpr DWORD kTypeMask = 0x1F, kCenter = 1, kRight = 2, kSimple = 0xB, kNoWrap = 0xC;
    constexpr DWORD kNoPrefix = 0x80, kCenterImage = 0x200;
    UINT format = 0;
    switch (style & kTypeMask) {
    case kCenter: format = DT_CENTER | DT_WORDBREAK; break;
    case kRight: format = DT_RIGHT | DT_WORDBREAK; break;
    case kSimple: format = DT_LEFT | DT_SINGLELINE; break;
    case kNoWrap: format = DT_LEFT | DT_EXPANDTABS; break;
    default: format = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS; break;
    }
    if (style & kNoPrefix) format |= DT_NOPREFIX;
    if (style & kCenterImage) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    return format;
}

// The rectangle and frame types of a static control (black, grey, white; filled or framed).
bool PaintStaticShape(HDC dc, const RECT& rect, DWORD type) {
    constexpr int kColours[] = {COLOR_3DDKSHADOW, COLOR_3DSHADOW, COLOR_3DHILIGHT};
    if (type >= 4 && type <= 6) {
        paint::Fill(dc, rect, kColours[type - 4]);
        return true;
    }
    if (type >= 7 && type <= 9) {
        FrameRect(dc, &rect, GetSysColorBrush(kColours[type - 7]));
        return true;
    }
    return false;
}

}  // namespace

void PaintPushButton(HDC dc, const RECT& rect, const PushButtonLook& look) {
    RECT face = rect;
    if (look.defaultLook) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&face, -1, -1);
    }
    if (look.pressed) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_3DSHADOW));
        RECT inner = paint::Deflated(face, 1);
        paint::Fill(dc, inner, COLOR_3DFACE);
    } else {
        DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
    }
    RECT label = rect;
    if (look.pressed) OffsetRect(&label, 1, 1);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    paint::TextScope scope(dc, look.font, GetSysColor(COLOR_BTNTEXT));
    if (look.enabled)
        paint::Text(dc, look.text, label, format);
    else
        paint::EtchedText(dc, look.text, label, format);
    if (look.focused) {
        RECT focus = paint::Deflated(rect, kFocusInset);
        DrawFocusRect(dc, &focus);
    }
}

void PaintStaticText(HDC dc, const RECT& rect, const StaticTextLook& look) {
    paint::Fill(dc, rect, COLOR_STATIC);
    if (PaintStaticShape(dc, rect, look.style & 0x1F)) return;
    paint::TextScope scope(dc, look.font,
                           GetSysColor(look.enabled ? COLOR_STATICTEXT : COLOR_GRAYTEXT));
    paint::Text(dc, look.text, rect, StaticFormat(look.style));
}

void PaintProgressBar(HDC dc, const RECT& rect, const ProgressLook& look) {
    RECT box = rect;
    if (look.border) {
        FrameRect(dc, &box, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&box, -1, -1);
    }
    DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    paint::Fill(dc, box, COLOR_3DFACE);
    const RECT area = paint::Deflated(box, 1);
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || look.high <= look.low) return;
    const int position = std::clamp(look.position, look.low, look.high);
    const int filled = static_cast<int>(static_cast<int64_t>(position - look.low) * width /
                                        (static_cast<int64_t>(look.high) - look.low));
    const int block = std::max(1, height * 2 / 3);
    HBRUSH brush = GetSysColorBrush(COLOR_HIGHLIGHT);
    for (int x = area.left; x < area.left + filled; x += block + kProgressGap) {
        const RECT piece{x, area.top, std::min(x + block, area.left + filled), area.bottom};
        FillRect(dc, &piece, brush);
    }
}

}  // namespace platform::ui
