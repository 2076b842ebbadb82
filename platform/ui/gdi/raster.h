// The pixels a context draws into, and the raster-operation engine over rows of them.
#pragma once

#include "gdi_objects.h"

#include <cstdint>

namespace platform::ui::gdi {

// A context's drawing target: rows of pixels plus where its (0, 0) lies and what may be touched
// (`clip`, in buffer coordinates, already cut to the buffer).
struct Target {
    uint32_t* pixels = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Colour;
    POINT origin{};
    RECT clip{};

    uint32_t* Row(int y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    uint32_t ValueMask() const { return format == PixelFormat::Mono ? 1u : 0x00FFFFFFu; }
};

Target TargetOf(const Dc& dc);

// A colour in the target's format: a monochrome target takes the nearer of black and white.
uint32_t DeviceValue(PixelFormat format, COLORREF colour);
COLORREF ColourOfValue(PixelFormat format, uint32_t value);

RECT Intersect(const RECT& a, const RECT& b);
bool IsEmpty(const RECT& r);
// A rectangle of context coordinates in buffer coordinates, cut to the clip.
RECT ToClippedBuffer(const Target& target, RECT logical);

// The index byte of a ternary raster operation (bits 16..23 of the code).
constexpr uint8_t RopIndex(DWORD rop) { return static_cast<uint8_t>(rop >> 16); }
constexpr bool RopUsesSource(uint8_t index) { return ((index >> 2) ^ index) & 0x33; }
constexpr bool RopUsesPattern(uint8_t index) { return ((index >> 4) ^ index) & 0x0F; }

// dest[i] = rop(pattern, source[i], dest[i]) & mask for a row; `source` may be null when the
// operation does not use it.
void ApplyRopRow(uint8_t index, uint32_t pattern, const uint32_t* source, uint32_t* dest, int count,
                 uint32_t mask);
// The operation on single values: bit i of `index` is the result for the inputs whose pattern,
// source and destination bits spell i as (P << 2) | (S << 1) | D.
uint32_t ApplyRop(uint8_t index, uint32_t pattern, uint32_t source, uint32_t dest);

// Fills a rectangle of context coordinates with `rop` and a solid pattern (a device value).
void PatternFill(const Target& target, const RECT& logical, uint32_t pattern, uint8_t index);

}  // namespace platform::ui::gdi
