// The 32 x 32 icons of message boxes, drawn from simple shapes.
#include <platform/ui/paint.h>

#include "paint_tools.h"

namespace platform::ui {
namespace {

constexpr int kSize = 32;

void Span(HDC dc, int left, int right, int y, HBRUSH brush) {
    const RECT line{left, y, right, y + 1};
    FillRect(dc, &line, brush);
}

// A disc of radius 14.5 around the icon's centre with a one-pixel outline.
void Disc(HDC dc, POINT at, COLORREF fill, COLORREF outline) {
    HBRUSH fillBrush = CreateSolidBrush(fill), outlineBrush = CreateSolidBrush(outline);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double dx = x - 15.5, dy = y - 15.5, d2 = dx * dx + dy * dy;
            if (d2 <= 13.5 * 13.5) Span(dc, at.x + x, at.x + x + 1, at.y + y, fillBrush);
            else if (d2 <= 14.5 * 14.5) Span(dc, at.x + x, at.x + x + 1, at.y + y, outlineBrush);
        }
    }
    DeleteObject(fillBrush);
    DeleteObject(outlineBrush);
}

void Exclamation(HDC dc, POINT at) {
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    // A triangle with its apex at the top centre and its base on row 29.
    for (int y = 2; y <= 29; ++y) {
        const int half = (y - 2) * 15 / 27;
        const int left = at.x + 15 - half, right = at.x + 17 + half;
        Span(dc, left, right, at.y + y, y == 29 ? black : yellow);
        Span(dc, left - 1, left, at.y + y, black);
        Span(dc, right, right + 1, at.y + y, black);
    }
    const RECT bar{at.x + 14, at.y + 10, at.x + 18, at.y + 21};
    const RECT dot{at.x + 14, at.y + 23, at.x + 18, at.y + 27};
    FillRect(dc, &bar, black);
    FillRect(dc, &dot, black);
    DeleteObject(yellow);
}

void Error(HDC dc, POINT at) {
    Disc(dc, at, RGB(255, 0, 0), RGB(128, 0, 0));
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    for (int i = 0; i < 12; ++i) {
        Span(dc, at.x + 9 + i, at.x + 12 + i, at.y + 10 + i, white);
        Span(dc, at.x + 20 - i, at.x + 23 - i, at.y + 10 + i, white);
    }
}

void Information(HDC dc, POINT at) {
    Disc(dc, at, RGB(255, 255, 255), RGB(0, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    const RECT dot{at.x + 14, at.y + 6, at.x + 18, at.y + 10};
    const RECT stem{at.x + 14, at.y + 12, at.x + 18, at.y + 24};
    const RECT foot{at.x + 12, at.y + 24, at.x + 20, at.y + 26};
    FillRect(dc, &dot, blue);
    FillRect(dc, &stem, blue);
    FillRect(dc, &foot, blue);
    DeleteObject(blue);
}

void Question(HDC dc, POINT at) {
    Disc(dc, at, RGB(255, 255, 255), RGB(0, 0, 0));
    paint::Pattern(dc, at.x + 10, at.y + 6,
                   {"..######..", ".########.", "###....###", "###....###", "......###.",
                    ".....###..", "....###...", "....###...", "....###...", "..........",
                    "....###...", "....###...", "....###..."},
                   RGB(0, 0, 255));
}

}  // namespace

void PaintMessageIcon(HDC dc, POINT topLeft, MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation: Exclamation(dc, topLeft); break;
    case MessageIcon::Error: Error(dc, topLeft); break;
    case MessageIcon::Information: Information(dc, topLeft); break;
    case MessageIcon::Question: Question(dc, topLeft); break;
    }
}

}  // namespace platform::ui
