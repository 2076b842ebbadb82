#include "paint_tools.h"

#include <platform/ui/paint.h>

namespace platform::ui::paint {

void Fill(HDC dc, const RECT& rect, int sysColour) { FillRect(dc, &rect, GetSysColorBrush(sysColour)); }

TextScope::TextScope(HDC dc, HFONT font, COLORREF colour)
    : dc_(dc),
      oldFont_(SelectObject(dc, font ? font : DialogFont())),
      oldColour_(SetTextColor(dc, colour)),
      oldMode_(SetBkMode(dc, TRANSPARENT)) {}

TextScope::~TextScope() {
    SelectObject(dc_, oldFont_);
    SetTextColor(dc_, oldColour_);
    SetBkMode(dc_, oldMode_);
}

void Text(HDC dc, std::u16string_view text, RECT rect, UINT format) {
    DrawText(dc, text.data(), static_cast<int>(text.size()), &rect, format);
}

void EtchedText(HDC dc, std::u16string_view text, RECT rect, UINT format) {
    const COLORREF previous = SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    OffsetRect(&rect, 1, 1);
    Text(dc, text, rect, format);
    OffsetRect(&rect, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    Text(dc, text, rect, format);
    SetTextColor(dc, previous);
}

void Pattern(HDC dc, int x, int y, std::initializer_list<std::string_view> rows, COLORREF colour) {
    int row = 0;
    for (std::string_view line : rows) {
        for (size_t column = 0; column < line.size(); ++column)
            if (line[column] == '#') SetPixel(dc, x + static_cast<int>(column), y + row, colour);
        ++row;
    }
}

void Arrow(HDC dc, const RECT& rect, ArrowDirection direction, COLORREF colour, int offset) {
    constexpr int kWidth = 7, kHeight = 4;
    const int left = rect.left + (rect.right - rect.left - kWidth) / 2 + offset;
    const int top = rect.top + (rect.bottom - rect.top - kHeight) / 2 + offset;
    HBRUSH brush = CreateSolidBrush(colour);
    for (int i = 0; i < kHeight; ++i) {
        const int y = direction == ArrowDirection::Down ? top + i : top + kHeight - 1 - i;
        const RECT line{left + i, y, left + kWidth - i, y + 1};
        FillRect(dc, &line, brush);
    }
    DeleteObject(brush);
}

void Dither(HDC dc, const RECT& rect) {
    Fill(dc, rect, COLOR_3DFACE);
    const COLORREF light = GetSysColor(COLOR_3DHILIGHT);
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left + ((rect.left + y) & 1); x < rect.right; x += 2) SetPixel(dc, x, y, light);
}

RECT Deflated(RECT rect, int by) {
    InflateRect(&rect, -by, -by);
    return rect;
}

}  // namespace platform::ui::paint
