// Brushes, pens and the shapes drawn with them: filled and framed rectangles, lines, the focus
// rectangle and 3D edges.
#include "gdi_objects.h"
#include "raster.h"

#include <algorithm>
#include <cstdlib>

namespace platform::ui::gdi {
namespace {

// FillRect also takes a system-colour index plus one in place of a brush.
std::optional<COLORREF> BrushColour(HBRUSH handle) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    const uintptr_t index = (value & ~static_cast<uintptr_t>(SYS_COLOR_INDEX_FLAG)) - 1;
    if (value != 0 && index < 64) return GetSysColor(static_cast<int>(index));
    auto brush = LookupAs<Brush>(handle, Kind::Brush);
    if (!brush || brush->hollow) return std::nullopt;
    return brush->colour;
}

void FillSolid(const Target& target, const RECT& r, COLORREF colour) {
    PatternFill(target, r, DeviceValue(target.format, colour), RopIndex(PATCOPY));
}

void HorizontalLine(const Target& t, int x0, int x1, int y, COLORREF c) { FillSolid(t, {x0, y, x1, y + 1}, c); }
void VerticalLine(const Target& t, int x, int y0, int y1, COLORREF c) { FillSolid(t, {x, y0, x + 1, y1}, c); }

void PlotLine(const Target& t, POINT a, POINT b, uint32_t value) {
    // Bresenham; the end point is left out, as GDI lines leave it.
    const int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int error = dx + dy;
    int x = a.x, y = a.y;
    while (x != b.x || y != b.y) {
        const int bx = x + t.origin.x, by = y + t.origin.y;
        if (bx >= t.clip.left && bx < t.clip.right && by >= t.clip.top && by < t.clip.bottom)
            t.Row(by)[bx] = value;
        const int twice = 2 * error;
        if (twice >= dy) { error += dy; x += sx; }
        if (twice <= dx) { error += dx; y += sy; }
    }
}

struct EdgeColours {
    int topLeft;
    int bottomRight;
};

// The colours of the outer and inner rings of an edge. A soft edge (buttons) puts the extreme
// colours outside: white and black outer, light grey and grey inner.
EdgeColours OuterColours(UINT edge, UINT flags) {
    const bool soft = flags & BF_SOFT;
    if (edge & BDR_RAISEDOUTER) return {soft ? COLOR_3DHILIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW};
    return {soft ? COLOR_3DDKSHADOW : COLOR_3DSHADOW, COLOR_3DHILIGHT};
}
EdgeColours InnerColours(UINT edge, UINT flags) {
    const bool soft = flags & BF_SOFT;
    if (edge & BDR_RAISEDINNER) return {soft ? COLOR_3DLIGHT : COLOR_3DHILIGHT, COLOR_3DSHADOW};
    return {soft ? COLOR_3DSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT};
}

// One ring: top and left first, then right and bottom over the corners they share, which
// gives the bottom-left and top-right corner pixels the dark colour.
void Ring(const Target& t, RECT& r, EdgeColours colours, UINT flags) {
    const COLORREF light = GetSysColor(colours.topLeft), dark = GetSysColor(colours.bottomRight);
    if (flags & BF_TOP) HorizontalLine(t, r.left, r.right, r.top, light);
    if (flags & BF_LEFT) VerticalLine(t, r.left, r.top, r.bottom, light);
    if (flags & BF_RIGHT) VerticalLine(t, r.right - 1, r.top, r.bottom, dark);
    if (flags & BF_BOTTOM) HorizontalLine(t, r.left, r.right, r.bottom - 1, dark);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;

HBRUSH CreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(Register(std::make_shared<Brush>(colour & 0x00FFFFFF, false)));
}

HPEN CreatePen(int style, int width, COLORREF colour) {
    if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HPEN>(Register(std::make_shared<Pen>(style, std::max(width, 1), colour & 0x00FFFFFF)));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush) {
    auto dc = LookupDc(handle);
    const auto colour = BrushColour(brush);
    if (!dc || !rect || !colour) return FALSE;
    FillSolid(TargetOf(*dc), *rect, *colour);
    return TRUE;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush) {
    auto dc = LookupDc(handle);
    const auto colour = BrushColour(brush);
    if (!dc || !rect || !colour) return FALSE;
    if (IsEmpty(*rect)) return TRUE;
    const Target t = TargetOf(*dc);
    const RECT& r = *rect;
    HorizontalLine(t, r.left, r.right, r.top, *colour);
    HorizontalLine(t, r.left, r.right, r.bottom - 1, *colour);
    VerticalLine(t, r.left, r.top, r.bottom, *colour);
    VerticalLine(t, r.right - 1, r.top, r.bottom, *colour);
    return TRUE;
}

BOOL InvertRect(HDC handle, const RECT* rect) {
    auto dc = LookupDc(handle);
    if (!dc || !rect) return FALSE;
    PatternFill(TargetOf(*dc), *rect, 0, RopIndex(DSTINVERT));
    return TRUE;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
    auto dc = LookupDc(handle);
    if (!dc) return FALSE;
    const Target t = TargetOf(*dc);
    RECT r{left, top, right, bottom};
    if (dc->pen && dc->pen->style != PS_NULL) {
        for (int i = 0; i < dc->pen->width && !IsEmpty(r); ++i) {
            HorizontalLine(t, r.left, r.right, r.top, dc->pen->colour);
            HorizontalLine(t, r.left, r.right, r.bottom - 1, dc->pen->colour);
            VerticalLine(t, r.left, r.top, r.bottom, dc->pen->colour);
            VerticalLine(t, r.right - 1, r.top, r.bottom, dc->pen->colour);
            r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        }
    }
    if (dc->brush && !dc->brush->hollow) FillSolid(t, r, dc->brush->colour);
    return TRUE;
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
    auto dc = LookupDc(handle);
    if (!dc || !points || count < 2) return FALSE;
    if (!dc->pen || dc->pen->style == PS_NULL) return TRUE;
    const Target t = TargetOf(*dc);
    const uint32_t value = DeviceValue(t.format, dc->pen->colour);
    for (int i = 1; i < count; ++i) PlotLine(t, points[i - 1], points[i], value);
    return TRUE;
}

// Every other pixel of the outline, on the checkerboard of the device, is inverted.
BOOL DrawFocusRect(HDC handle, const RECT* rect) {
    auto dc = LookupDc(handle);
    if (!dc || !rect) return FALSE;
    const Target t = TargetOf(*dc);
    const uint32_t invert = t.ValueMask();
    auto dot = [&](int x, int y) {
        const int bx = x + t.origin.x, by = y + t.origin.y;
        if (((bx + by) & 1) == 0 && bx >= t.clip.left && bx < t.clip.right && by >= t.clip.top &&
            by < t.clip.bottom)
            t.Row(by)[bx] ^= invert;
    };
    const RECT& r = *rect;
    if (IsEmpty(r)) return TRUE;
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 > r.top) dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 > r.left) dot(r.right - 1, y);
    }
    return TRUE;
}

BOOL DrawEdge(HDC handle, LPRECT rect, UINT edge, UINT flags) {
    auto dc = LookupDc(handle);
    if (!dc || !rect) return FALSE;
    const Target t = TargetOf(*dc);
    RECT r = *rect;
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) Ring(t, r, OuterColours(edge, flags), flags);
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) Ring(t, r, InnerColours(edge, flags), flags);
    if (flags & BF_MIDDLE) FillSolid(t, r, GetSysColor(COLOR_3DFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}
