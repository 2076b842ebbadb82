#include "raster.h"

#include <algorithm>

namespace platform::ui::gdi {

Target TargetOf(const Dc& dc) {
    Target t;
    if (dc.surface) {
        t.pixels = dc.surface->pixels.data();
        t.stride = t.width = dc.surface->width;
        t.height = dc.surface->height;
        t.format = PixelFormat::Colour;
        t.origin = dc.origin;
        t.clip = Intersect(dc.surfaceClip, RECT{0, 0, t.width, t.height});
    } else if (dc.bitmap) {
        t.pixels = dc.bitmap->pixels.data();
        t.stride = t.width = dc.bitmap->width;
        t.height = dc.bitmap->height;
        t.format = dc.bitmap->format;
        t.clip = RECT{0, 0, t.width, t.height};
    }
    if (dc.userClip) {
        RECT user = *dc.userClip;
        user.left += t.origin.x;
        user.right += t.origin.x;
        user.top += t.origin.y;
        user.bottom += t.origin.y;
        t.clip = Intersect(t.clip, user);
    }
    return t;
}

uint32_t DeviceValue(PixelFormat format, COLORREF colour) {
    const uint32_t r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    if (format == PixelFormat::Colour) return (r << 16) | (g << 8) | b;
    // Nearer to white than to black, by squared distance in RGB.
    const uint32_t toBlack = r * r + g * g + b * b;
    const uint32_t toWhite = (255 - r) * (255 - r) + (255 - g) * (255 - g) + (255 - b) * (255 - b);
    return toWhite < toBlack ? 1u : 0u;
}

COLORREF ColourOfValue(PixelFormat format, uint32_t value) {
    if (format == PixelFormat::Mono) return value & 1 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT ToClippedBuffer(const Target& target, RECT logical) {
    logical.left += target.origin.x;
    logical.right += target.origin.x;
    logical.top += target.origin.y;
    logical.bottom += target.origin.y;
    return Intersect(logical, target.clip);
}

uint32_t ApplyRop(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((index >> i) & 1)) continue;
        const uint32_t pp = (i & 4) ? p : ~p;
        const uint32_t ss = (i & 2) ? s : ~s;
        const uint32_t dd = (i & 1) ? d : ~d;
        result |= pp & ss & dd;
    }
    return result;
}

namespace {

template <class Op>
void RowLoop(const uint32_t* s, uint32_t* d, int count, uint32_t mask, Op op) {
    for (int i = 0; i < count; ++i) d[i] = op(s ? s[i] : 0u, d[i]) & mask;
}

}  // namespace

void ApplyRopRow(uint8_t index, uint32_t p, const uint32_t* s, uint32_t* d, int count,
                 uint32_t mask) {
    // The operations the system uses get their own loops; any other goes through the
    // truth-table evaluation.
    switch (index) {
    case 0xCC: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t) { return sv; }); return;
    case 0x88: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t dv) { return sv & dv; }); return;
    case 0x66: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t dv) { return sv ^ dv; }); return;
    case 0xEE: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t dv) { return sv | dv; }); return;
    case 0x22: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t dv) { return dv & ~sv; }); return;
    case 0x33: RowLoop(s, d, count, mask, [](uint32_t sv, uint32_t) { return ~sv; }); return;
    case 0xF0: RowLoop(s, d, count, mask, [p](uint32_t, uint32_t) { return p; }); return;
    case 0x5A: RowLoop(s, d, count, mask, [p](uint32_t, uint32_t dv) { return p ^ dv; }); return;
    case 0x55: RowLoop(s, d, count, mask, [](uint32_t, uint32_t dv) { return ~dv; }); return;
    case 0x00: RowLoop(s, d, count, mask, [](uint32_t, uint32_t) { return 0u; }); return;
    case 0xFF: RowLoop(s, d, count, mask, [](uint32_t, uint32_t) { return ~0u; }); return;
    case 0xAA: return;
    default:
        RowLoop(s, d, count, mask, [index, p](uint32_t sv, uint32_t dv) { return ApplyRop(index, p, sv, dv); });
    }
}

void PatternFill(const Target& target, const RECT& logical, uint32_t pattern, uint8_t index) {
    const RECT r = ToClippedBuffer(target, logical);
    if (IsEmpty(r)) return;
    const uint32_t mask = target.ValueMask();
    for (int y = r.top; y < r.bottom; ++y)
        ApplyRopRow(index, pattern, nullptr, target.Row(y) + r.left, r.right - r.left, mask);
}

}  // namespace platform::ui::gdi
