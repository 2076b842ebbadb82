// Test helpers: small bitmaps from pixel lists, pixels read back, DIBs built byte by byte.
#pragma once

#include <platform/ui/surface.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace drawing_test {

// A memory context holding a new bitmap; both released at scope end.
class MemoryCanvas {
public:
    // Colour when `pixels` are COLORREFs; monochrome bitmaps take 0/1 values.
    MemoryCanvas(int width, int height, const std::vector<COLORREF>& pixels, bool mono = false)
        : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = mono ? CreateBitmap(width, height, 1, 1, nullptr) : CreateBitmap(width, height, 1, 32, nullptr);
        old_ = SelectObject(dc_, bitmap_);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF value = pixels[static_cast<size_t>(y * width + x)];
                SetPixel(dc_, x, y, mono ? (value ? RGB(255, 255, 255) : RGB(0, 0, 0)) : value);
            }
    }
    ~MemoryCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    // COLORREFs for colour, 0/1 for monochrome; read past any clip.
    std::vector<COLORREF> Pixels() const {
        BITMAP info{};
        GetObject(bitmap_, sizeof info, &info);
        std::vector<COLORREF> out;
        for (uint32_t pixel : platform::ui::SurfaceFromBitmap(bitmap_).pixels)
            out.push_back(info.bmBitsPixel == 1 ? (pixel ? 1u : 0u) : platform::ui::ColorRefFromPixel(pixel));
        return out;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

// A packed 4-bit DIB (bottom-up) with the 16-colour palette given; `indices` top row first.
inline std::vector<BYTE> FourBitDib(int width, int height, const std::vector<COLORREF>& palette,
                                    const std::vector<uint8_t>& indices, int heightFactor = 1) {
    std::vector<BYTE> dib;
    auto put16 = [&](uint32_t v) { dib.push_back(v & 0xFF); dib.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height * heightFactor));
    put16(1);
    put16(4);
    put32(BI_RGB);
    put32(0);
    put32(0);
    put32(0);
    put32(static_cast<uint32_t>(palette.size()));
    put32(0);
    for (COLORREF c : palette) {
        dib.push_back(GetBValue(c));
        dib.push_back(GetGValue(c));
        dib.push_back(GetRValue(c));
        dib.push_back(0);
    }
    const size_t rowBytes = (static_cast<size_t>(width) * 4 + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
        std::vector<BYTE> row(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            const uint8_t index = indices[static_cast<size_t>(y * width + x)];
            row[static_cast<size_t>(x / 2)] |= static_cast<BYTE>(x % 2 ? index : index << 4);
        }
        dib.insert(dib.end(), row.begin(), row.end());
    }
    return dib;
}

// The standard 16-colour palette: index 7 light grey, 8 dark grey, 13 magenta, 15 white.
inline std::vector<COLORREF> StandardPalette() {
    return {RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),   RGB(128, 128, 0),
            RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128), RGB(192, 192, 192),
            RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),   RGB(255, 255, 0),
            RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255), RGB(255, 255, 255)};
}

}  // namespace drawing_test
