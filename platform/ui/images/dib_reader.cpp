#include "dib_reader.h"

#include <cstring>

namespace platform::ui::images {
namespace {

// Field offsets of BITMAPINFOHEADER, read as little-endian values.
constexpr size_t kSize = 0;
constexpr size_t kWidth = 4;
constexpr size_t kHeight = 8;
constexpr size_t kPlanes = 12;
constexpr size_t kBitCount = 14;
constexpr size_t kCompression = 16;
constexpr size_t kColoursUsed = 32;
constexpr size_t kHeaderSize = 40;
constexpr int64_t kMaxSide = 16384;

uint16_t Read16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

size_t RowBytes(int width, int bitsPerPixel) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32 * 4;
}

uint32_t IndexAt(const BYTE* row, int x, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
    default: return row[x];
    }
}

bool ReadPalette(const BYTE* data, size_t size, size_t headerSize, uint32_t coloursUsed, DibPicture& pic) {
    if (pic.bitsPerPixel > 8) {
        pic.bitsEnd = headerSize;
        return true;
    }
    const uint32_t maximum = 1u << pic.bitsPerPixel;
    const uint32_t count = coloursUsed == 0 ? maximum : coloursUsed;
    if (count > maximum || size - headerSize < static_cast<size_t>(count) * 4) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const BYTE* q = data + headerSize + i * 4;
        pic.palette.push_back((static_cast<uint32_t>(q[2]) << 16) | (q[1] << 8) | q[0]);
    }
    pic.bitsEnd = headerSize + static_cast<size_t>(count) * 4;
    return true;
}

bool ReadBits(const BYTE* data, size_t size, bool bottomUp, DibPicture& pic) {
    const size_t rowBytes = RowBytes(pic.width, pic.bitsPerPixel);
    const size_t start = pic.bitsEnd;
    if ((size - start) / rowBytes < static_cast<size_t>(pic.height)) return false;
    const size_t count = static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height);
    pic.pixels.resize(count);
    if (pic.bitsPerPixel <= 8) pic.indices.resize(count);
    for (int y = 0; y < pic.height; ++y) {
        const int fileRow = bottomUp ? pic.height - 1 - y : y;
        const BYTE* row = data + start + static_cast<size_t>(fileRow) * rowBytes;
        for (int x = 0; x < pic.width; ++x) {
            const size_t at = static_cast<size_t>(y) * pic.width + x;
            if (pic.bitsPerPixel <= 8) {
                const uint32_t index = IndexAt(row, x, pic.bitsPerPixel);
                if (index >= pic.palette.size()) return false;
                pic.indices[at] = static_cast<uint8_t>(index);
                pic.pixels[at] = pic.palette[index];
            } else {
                const BYTE* p = row + static_cast<size_t>(x) * (pic.bitsPerPixel / 8);
                pic.pixels[at] = (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
            }
        }
    }
    pic.bitsEnd = start + rowBytes * static_cast<size_t>(pic.height);
    return true;
}

}  // namespace

std::optional<DibPicture> ReadDib(const BYTE* data, size_t size, int heightDivisor) {
    if (!data || size < kHeaderSize) return std::nullopt;
    const uint32_t headerSize = Read32(data + kSize);
    if (headerSize < kHeaderSize || headerSize > size) return std::nullopt;
    const int64_t width = static_cast<int32_t>(Read32(data + kWidth));
    const int64_t rawHeight = static_cast<int32_t>(Read32(data + kHeight));
    const int bitsPerPixel = Read16(data + kBitCount);
    const bool bottomUp = rawHeight > 0;
    const int64_t fullHeight = bottomUp ? rawHeight : -rawHeight;
    if (Read16(data + kPlanes) != 1 || Read32(data + kCompression) != BI_RGB) return std::nullopt;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32)
        return std::nullopt;
    if (fullHeight % heightDivisor != 0) return std::nullopt;
    const int64_t height = fullHeight / heightDivisor;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;

    DibPicture pic;
    pic.width = static_cast<int>(width);
    pic.height = static_cast<int>(height);
    pic.bitsPerPixel = bitsPerPixel;
    if (!ReadPalette(data, size, headerSize, Read32(data + kColoursUsed), pic)) return std::nullopt;
    if (!ReadBits(data, size, bottomUp, pic)) return std::nullopt;
    return pic;
}

std::optional<std::vector<uint8_t>> ReadMask(const BYTE* data, size_t size, size_t offset, int width,
                                             int rows) {
    const size_t rowBytes = RowBytes(width, 1);
    if (offset > size || (size - offset) / rowBytes < static_cast<size_t>(rows)) return std::nullopt;
    std::vector<uint8_t> mask(static_cast<size_t>(width) * static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        const BYTE* row = data + offset + static_cast<size_t>(rows - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x)
            mask[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(IndexAt(row, x, 1));
    }
    return mask;
}

}  // namespace platform::ui::images
