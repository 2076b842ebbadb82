// The taskbar: a raised strip along the bottom of the screen with a button per application
// window; the active window's button is pushed in.
#include <platform/ui/paint.h>

#include "paint_tools.h"

#include <algorithm>

namespace platform::ui {
namespace {

constexpr int kMaxButtonWidth = 160;
constexpr int kButtonGap = 3;
constexpr int kMargin = 2;

}  // namespace

RECT TaskbarButtonRect(const RECT& bar, size_t index, size_t count) {
    if (count == 0 || index >= count) return RECT{};
    const int n = static_cast<int>(count);
    const int available = bar.right - bar.left - 2 * kMargin - (n - 1) * kButtonGap;
    const int width = std::min(kMaxButtonWidth, available / n);
    const int left = bar.left + kMargin + static_cast<int>(index) * (width + kButtonGap);
    return RECT{left, bar.top + 4, left + width, bar.bottom - 2};
}

void PaintTaskbar(HDC dc, const RECT& bar, std::span<const TaskbarEntry> entries) {
    paint::Fill(dc, bar, COLOR_3DFACE);
    const RECT light{bar.left, bar.top, bar.right, bar.top + 1};
    const RECT white{bar.left, bar.top + 1, bar.right, bar.top + 2};
    paint::Fill(dc, light, COLOR_3DLIGHT);
    paint::Fill(dc, white, COLOR_3DHILIGHT);
    for (size_t i = 0; i < entries.size(); ++i) {
        const TaskbarEntry& entry = entries[i];
        RECT button = TaskbarButtonRect(bar, i, entries.size());
        if (entry.active) {
            DrawEdge(dc, &button, EDGE_SUNKEN, BF_RECT | BF_SOFT | BF_ADJUST);
            paint::Dither(dc, button);
        } else {
            DrawEdge(dc, &button, EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE | BF_ADJUST);
        }
        const int shift = entry.active ? 1 : 0;
        int textLeft = button.left + 2 + shift;
        if (entry.smallIcon) {
            const int top = button.top + (button.bottom - button.top - 16) / 2 + shift;
            DrawIconEx(dc, textLeft, top, entry.smallIcon, 16, 16, 0, nullptr, DI_NORMAL);
            textLeft += 16 + 3;
        }
        paint::TextScope scope(dc, entry.active ? CaptionFont() : DialogFont(), GetSysColor(COLOR_BTNTEXT));
        paint::Text(dc, entry.title, RECT{textLeft, button.top + shift, button.right - 2, button.bottom + shift},
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

}  // namespace platform::ui
