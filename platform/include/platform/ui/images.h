// Bitmaps and icons from device-independent bitmaps (DIBs), as resources carry them.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::ui {

// A packed DIB (BITMAPINFOHEADER, palette, bits; 1, 4, 8, 24 or 32 bits per pixel, bottom-up or
// top-down, uncompressed) as a bitmap. A one-bit DIB with a black-and-white palette becomes a
// monochrome bitmap, any other a colour bitmap. A truncated or malformed DIB (sizes that do not
// fit the data, an unsupported depth or compression, a pixel outside the palette) gives nullptr
// and the last error ERROR_INVALID_DATA; nothing past `size` is ever read.
HBITMAP CreateBitmapFromDib(const BYTE* data, size_t size);

// An icon image as an icon group's entry holds it: a DIB of doubled height, the colour (XOR)
// bits first, then the one-bit AND mask (set = transparent). Same checks as above.
HICON CreateIconFromImage(const BYTE* data, size_t size);

// Width and height of an icon; {0, 0} for a bad handle.
SIZE GetIconSize(HICON icon);

}  // namespace platform::ui
