// Reading packed DIBs with every size checked against the data, never past its end.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::ui::images {

struct DibPicture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> pixels;   // top row first, 0x00RRGGBB
    std::vector<uint8_t> indices;   // top row first, palette index per pixel (depths up to 8)
    size_t bitsEnd = 0;             // offset just past the colour bits
};

// The header, palette and `height` rows of colour bits of a DIB. `height` is the header's height
// divided by `heightDivisor` (2 for an icon image, whose mask follows). Nothing when the data is
// truncated or malformed.
std::optional<DibPicture> ReadDib(const BYTE* data, size_t size, int heightDivisor);

// `rows` rows of a 1-bit mask of `width` pixels at `offset` (bottom-up), or nothing if it does
// not fit in `size`.
std::optional<std::vector<uint8_t>> ReadMask(const BYTE* data, size_t size, size_t offset,
                                             int width, int rows);

}  // namespace platform::ui::images
