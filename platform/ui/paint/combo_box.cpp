// The drop-down-list combo box: the closed box with its arrow button, and the dropped list.
#include <platform/ui/paint.h>

#include "paint_tools.h"

#include <algorithm>

namespace platform::ui {
namespace {

constexpr int kScrollBarWidth = 16;
constexpr int kMinimumThumb = 8;

RECT InsideEdge(const RECT& rect) { return paint::Deflated(rect, 2); }

void ArrowButton(HDC dc, RECT button, paint::ArrowDirection direction, bool pushed, bool enabled) {
    if (pushed) {
        FrameRect(dc, &button, GetSysColorBrush(COLOR_3DSHADOW));
        const RECT inner = paint::Deflated(button, 1);
        paint::Fill(dc, inner, COLOR_3DFACE);
    } else {
        DrawEdge(dc, &button, EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
    }
    const int offset = pushed ? 1 : 0;
    if (!enabled) paint::Arrow(dc, button, direction, GetSysColor(COLOR_3DHILIGHT), offset + 1);
    paint::Arrow(dc, button, direction, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT), offset);
}

int VisibleRows(const RECT& list) { return std::max(1, (list.bottom - list.top - 2) / kListItemHeight); }

void ScrollBar(HDC dc, const RECT& bar, int count, int visible, int top) {
    const RECT up{bar.left, bar.top, bar.right, bar.top + kScrollBarWidth};
    const RECT down{bar.left, bar.bottom - kScrollBarWidth, bar.right, bar.bottom};
    const RECT track{bar.left, up.bottom, bar.right, down.top};
    paint::Dither(dc, track);
    const int trackHeight = track.bottom - track.top;
    if (trackHeight > 0 && count > visible) {
        const int thumb = std::min(trackHeight, std::max(kMinimumThumb, trackHeight * visible / count));
        const int travel = std::max(0, trackHeight - thumb);
        const int offset = travel * std::clamp(top, 0, count - visible) / (count - visible);
        RECT knob{bar.left, track.top + offset, bar.right, track.top + offset + thumb};
        DrawEdge(dc, &knob, EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
    }
    ArrowButton(dc, up, paint::ArrowDirection::Up, false, true);
    ArrowButton(dc, down, paint::ArrowDirection::Down, false, true);
}

}  // namespace

RECT ComboArrowRect(const RECT& rect) {
    const RECT inside = InsideEdge(rect);
    return RECT{inside.right - kComboArrowWidth, inside.top, inside.right, inside.bottom};
}

void PaintComboBox(HDC dc, const RECT& rect, const ComboLook& look) {
    RECT inside = rect;
    DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    const RECT arrow = ComboArrowRect(rect);
    const RECT field{inside.left, inside.top, arrow.left, inside.bottom};
    paint::Fill(dc, field, look.enabled ? COLOR_WINDOW : COLOR_3DFACE);
    ArrowButton(dc, arrow, paint::ArrowDirection::Down, look.dropped, look.enabled);

    const RECT selection = paint::Deflated(field, 1);
    const bool highlighted = look.focused && look.enabled;
    if (highlighted) paint::Fill(dc, selection, COLOR_HIGHLIGHT);
    const int colour = !look.enabled ? COLOR_GRAYTEXT : highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
    paint::TextScope scope(dc, look.font, GetSysColor(colour));
    const RECT label{selection.left + 2, selection.top, selection.right - 1, selection.bottom};
    paint::Text(dc, look.text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (highlighted) DrawFocusRect(dc, &selection);
}

void PaintDroppedList(HDC dc, const RECT& rect, const DroppedListLook& look) {
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
    RECT inside = paint::Deflated(rect, 1);
    const int count = static_cast<int>(look.items.size());
    const int visible = VisibleRows(rect);
    if (count > visible) {
        ScrollBar(dc, RECT{inside.right - kScrollBarWidth, inside.top, inside.right, inside.bottom},
                  count, visible, look.topIndex);
        inside.right -= kScrollBarWidth;
    }
    paint::Fill(dc, inside, COLOR_WINDOW);
    paint::TextScope scope(dc, look.font, GetSysColor(COLOR_WINDOWTEXT));
    for (int row = 0; row < visible && look.topIndex + row < count; ++row) {
        const int item = look.topIndex + row;
        const RECT line{inside.left, inside.top + row * kListItemHeight, inside.right,
                        inside.top + (row + 1) * kListItemHeight};
        const bool selected = item == look.selected;
        if (selected) paint::Fill(dc, line, COLOR_HIGHLIGHT);
        scope.SetColour(GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const RECT label{line.left + 2, line.top, line.right, line.bottom};
        paint::Text(dc, look.items[static_cast<size_t>(item)], label,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

int DroppedListItemAt(const RECT& rect, const DroppedListLook& look, POINT point) {
    const int count = static_cast<int>(look.items.size());
    const int visible = VisibleRows(rect);
    RECT inside = paint::Deflated(rect, 1);
    if (count > visible) inside.right -= kScrollBarWidth;
    if (!PtInRect(&inside, point)) return -1;
    const int row = (point.y - inside.top) / kListItemHeight;
    const int item = look.topIndex + row;
    return row < visible && item >= 0 && item < count ? item : -1;
}

}  // namespace platform::ui
