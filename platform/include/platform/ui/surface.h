// Pixel surfaces of the host side: the simulated screen (and any off-screen picture) as 32-bit
// pixels 0x00RRGGBB, and device contexts that draw into a part of one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace platform::ui {

struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // row-major, 0x00RRGGBB

    Surface() = default;
    Surface(int w, int h, uint32_t fill = 0)
        : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Surface&) const = default;
};

// COLORREF is 0x00BBGGRR, a surface pixel 0x00RRGGBB.
constexpr uint32_t PixelFromColorRef(COLORREF colour) {
    return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr COLORREF ColorRefFromPixel(uint32_t pixel) {
    return ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
}

// A device context that draws into `surface`: its coordinate (0, 0) is the surface's pixel
// `origin`, and nothing outside `clip` (surface coordinates, cut to the surface) is touched.
// The surface must outlive the context. Two contexts on one surface may be used by two threads
// only when the caller serialises access to overlapping pixels (the window system's screen lock).
HDC CreateSurfaceDC(Surface& surface, POINT origin, RECT clip);
// Ends a context from CreateSurfaceDC (as DeleteDC does): its selections are given back.
BOOL ReleaseSurfaceDC(HDC dc);
// Replaces the clip of a surface context (surface coordinates); FALSE for any other context.
BOOL SetSurfaceDCClip(HDC dc, RECT clip);

// A copy of a bitmap's pixels (monochrome: 1 white, 0 black); an empty surface for a bad handle.
Surface SurfaceFromBitmap(HBITMAP bitmap);

}  // namespace platform::ui
