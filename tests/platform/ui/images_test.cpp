// Bitmaps and icons from DIBs: depths, palettes, orientation, and malformed data refused
// without reading past the end.
#include "drawing_helpers.h"

#include <platform/ui/images.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using drawing_test::FourBitDib;
using drawing_test::StandardPalette;

void Put32(std::vector<BYTE>& dib, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) dib[offset + static_cast<size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
}
void Put16(std::vector<BYTE>& dib, size_t offset, uint16_t value) {
    dib[offset] = static_cast<BYTE>(value);
    dib[offset + 1] = static_cast<BYTE>(value >> 8);
}

// A header for width x height at the given depth, with `colours` palette entries of grey.
std::vector<BYTE> Header(int width, int height, int bits, uint32_t colours) {
    std::vector<BYTE> dib(40, 0);
    Put32(dib, 0, 40);
    Put32(dib, 4, static_cast<uint32_t>(width));
    Put32(dib, 8, static_cast<uint32_t>(height));
    Put16(dib, 12, 1);
    Put16(dib, 14, static_cast<uint16_t>(bits));
    Put32(dib, 32, colours);
    return dib;
}

TEST(DibDecoding, FourBitsTakeTheirPaletteBottomRowLast) {
    const std::vector<uint8_t> indices = {13, 15, 8, 7, 0, 12};  // 3 x 2, top row first
    const auto dib = FourBitDib(3, 2, StandardPalette(), indices);
    HBITMAP bitmap = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    ASSERT_NE(bitmap, nullptr);
    const platform::ui::Surface pixels = platform::ui::SurfaceFromBitmap(bitmap);
    EXPECT_EQ(pixels.pixels, (std::vector<uint32_t>{0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0, 0x000000, 0x0000FF}));
    BITMAP info{};
    GetObject(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    DeleteObject(bitmap);
}

TEST(DibDecoding, OtherDepthsAndTopDownRows) {
    // 24 bits, 2 x 2, top-down (negative height): rows padded to 8 bytes.
    auto dib = Header(2, -2, 24, 0);
    const BYTE rows[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 0};
    dib.insert(dib.end(), std::begin(rows), std::end(rows));
    HBITMAP bitmap = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(bitmap).pixels,
              (std::vector<uint32_t>{0x030201, 0x060504, 0x302010, 0x605040}));
    DeleteObject(bitmap);

    // 1 bit with a black-and-white palette: a monochrome bitmap.
    auto mono = Header(3, 1, 1, 2);
    const BYTE palette[] = {0, 0, 0, 0, 255, 255, 255, 0};
    mono.insert(mono.end(), std::begin(palette), std::end(palette));
    const BYTE bits[] = {0xA0, 0, 0, 0};  // 1 0 1
    mono.insert(mono.end(), std::begin(bits), std::end(bits));
    bitmap = platform::ui::CreateBitmapFromDib(mono.data(), mono.size());
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObject(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(bitmap).pixels, (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF}));
    DeleteObject(bitmap);

    // 8 bits with a two-entry palette, 32 bits.
    auto eight = Header(2, 1, 8, 2);
    const BYTE eightTail[] = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0, 1, 0, 0, 0};
    eight.insert(eight.end(), std::begin(eightTail), std::end(eightTail));
    bitmap = platform::ui::CreateBitmapFromDib(eight.data(), eight.size());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(bitmap).pixels, (std::vector<uint32_t>{0x605040, 0x302010}));
    DeleteObject(bitmap);

    auto wide = Header(1, 1, 32, 0);
    const BYTE pixel[] = {0x11, 0x22, 0x33, 0x00};
    wide.insert(wide.end(), std::begin(pixel), std::end(pixel));
    bitmap = platform::ui::CreateBitmapFromDib(wide.data(), wide.size());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(bitmap).pixels, (std::vector<uint32_t>{0x332211}));
    DeleteObject(bitmap);
}

// Each prefix of a good DIB is copied into a buffer of exactly that size, so the address
// sanitizer catches any read past the end.
TEST(DibDecoding, EveryTruncationIsRefused) {
    const auto dib = FourBitDib(5, 3, StandardPalette(), std::vector<uint8_t>(15, 9));
    for (size_t length = 0; length < dib.size(); ++length) {
        auto copy = std::make_unique<BYTE[]>(length + 1);
        std::memcpy(copy.get(), dib.data(), length);
        SetLastError(0);
        EXPECT_EQ(platform::ui::CreateBitmapFromDib(copy.get(), length), nullptr) << length;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << length;
    }
    HBITMAP whole = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    EXPECT_NE(whole, nullptr);
    DeleteObject(whole);
}

TEST(DibDecoding, MalformedHeadersAreRefused) {
    const auto good = FourBitDib(2, 2, StandardPalette(), {0, 1, 2, 3});
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        int width;  // 2 or 4 bytes
    };
    const Case cases[] = {
        {"header size too small", 0, 12, 4},
        {"header size beyond the data", 0, 100000, 4},
        {"zero width", 4, 0, 4},
        {"negative width", 4, 0xFFFFFFFF, 4},
        {"zero height", 8, 0, 4},
        {"huge height", 8, 0x7FFFFFFF, 4},
        {"two planes", 12, 2, 2},
        {"sixteen bits", 14, 16, 2},
        {"run-length compression", 16, 2, 4},
        {"more colours than the depth allows", 32, 17, 4},
    };
    for (const Case& c : cases) {
        auto dib = good;
        if (c.width == 4) Put32(dib, c.offset, c.value);
        else Put16(dib, c.offset, static_cast<uint16_t>(c.value));
        EXPECT_EQ(platform::ui::CreateBitmapFromDib(dib.data(), dib.size()), nullptr) << c.what;
    }
    EXPECT_EQ(platform::ui::CreateBitmapFromDib(nullptr, 100), nullptr);

    // A pixel whose index lies outside a short palette.
    const auto shortPalette = FourBitDib(2, 1, {RGB(1, 1, 1), RGB(2, 2, 2)}, {1, 5});
    EXPECT_EQ(platform::ui::CreateBitmapFromDib(shortPalette.data(), shortPalette.size()), nullptr);
}

// A 4 x 2 icon: colour bits then the AND mask (set = transparent), each bottom-up.
std::vector<BYTE> IconImage() {
    auto image = FourBitDib(4, 2, StandardPalette(), {0, 12, 9, 0, 12, 12, 0, 0}, 2);  // black under the transparent parts
    const BYTE mask[] = {0x30, 0, 0, 0,   // bottom row: columns 2, 3 transparent
                         0x90, 0, 0, 0};  // top row: columns 0, 3 transparent
    image.insert(image.end(), std::begin(mask), std::end(mask));
    return image;
}

TEST(IconDecoding, DrawnThroughItsMask) {
    const auto image = IconImage();
    HICON icon = platform::ui::CreateIconFromImage(image.data(), image.size());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::ui::GetIconSize(icon).cx, 4);
    EXPECT_EQ(platform::ui::GetIconSize(icon).cy, 2);

    platform::ui::Surface screen(4, 2, 0x00C0C0C0);
    HDC dc = platform::ui::CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 4, 2});
    ASSERT_TRUE(DrawIcon(dc, 0, 0, icon));
    EXPECT_EQ(screen.pixels, (std::vector<uint32_t>{0xC0C0C0, 0x0000FF, 0xFF0000, 0xC0C0C0,
                                                   0x0000FF, 0x0000FF, 0xC0C0C0, 0xC0C0C0}));
    // Scaled to twice the size: every pixel doubles.
    platform::ui::Surface large(8, 4, 0);
    HDC largeDc = platform::ui::CreateSurfaceDC(large, POINT{0, 0}, RECT{0, 0, 8, 4});
    ASSERT_TRUE(DrawIconEx(largeDc, 0, 0, icon, 8, 4, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(large.At(2, 0), 0x0000FFu);
    EXPECT_EQ(large.At(3, 1), 0x0000FFu);
    EXPECT_EQ(large.At(1, 1), 0u);
    platform::ui::ReleaseSurfaceDC(largeDc);
    platform::ui::ReleaseSurfaceDC(dc);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
}

TEST(IconDecoding, AMissingOrShortMaskIsRefused) {
    const auto image = IconImage();
    for (size_t cut : {size_t{4}, size_t{8}}) {
        const std::vector<BYTE> shorter(image.begin(), image.end() - static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(platform::ui::CreateIconFromImage(shorter.data(), shorter.size()), nullptr) << cut;
    }
    auto odd = image;
    Put32(odd, 8, 3);  // a doubled height must be even
    EXPECT_EQ(platform::ui::CreateIconFromImage(odd.data(), odd.size()), nullptr);
}

}  // namespace
