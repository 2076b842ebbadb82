// The masked draw of a magenta-backed 4-bit bitmap, step by step as the main dialog's logo is
// drawn: the destination shows through exactly where the bitmap is magenta.
#include "drawing_helpers.h"

#include <platform/ui/images.h>

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr int kWidth = 7, kHeight = 5;

// Magenta (13) background with a white (15) and dark grey (8) picture, and a light grey (7)
// pixel that must not be mistaken for the background.
const std::vector<uint8_t> kLogo = {
    13, 13, 15, 15, 15, 13, 13,
    13, 15, 8,  8,  8,  15, 13,
    13, 15, 8,  7,  8,  15, 13,
    13, 15, 8,  8,  8,  15, 13,
    13, 13, 15, 15, 15, 13, 0,
};

// A destination with a different colour in every pixel, so any disturbance shows.
platform::ui::Surface Background() {
    platform::ui::Surface surface(12, 9);
    for (int y = 0; y < surface.height; ++y)
        for (int x = 0; x < surface.width; ++x) surface.At(x, y) = 0x00102030u + 0x00010305u * (y * 12 + x);
    return surface;
}

COLORREF LogoColour(int x, int y) {
    return drawing_test::StandardPalette()[kLogo[static_cast<size_t>(y * kWidth + x)]];
}

void ExpectLogoOver(const platform::ui::Surface& before, const platform::ui::Surface& after, int left, int top) {
    for (int y = 0; y < before.height; ++y)
        for (int x = 0; x < before.width; ++x) {
            const int lx = x - left, ly = y - top;
            const bool onLogo = lx >= 0 && lx < kWidth && ly >= 0 && ly < kHeight;
            const COLORREF logo = onLogo ? LogoColour(lx, ly) : kMagenta;
            const uint32_t expected = logo == kMagenta ? before.At(x, y) : platform::ui::PixelFromColorRef(logo);
            ASSERT_EQ(after.At(x, y), expected) << "at " << x << "," << y;
        }
}

TEST(MaskedDraw, TheLogoRecipeLeavesTheBackgroundWhereTheBitmapIsMagenta) {
    const auto dib = drawing_test::FourBitDib(kWidth, kHeight, drawing_test::StandardPalette(), kLogo);
    const platform::ui::Surface before = Background();
    platform::ui::Surface screen = before;
    HDC target = platform::ui::CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 12, 9});
    const int x = 3, y = 2;

    HBITMAP logo = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    ASSERT_NE(logo, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObject(logo, sizeof info, &info), static_cast<int>(sizeof info));
    const int w = info.bmWidth, h = info.bmHeight;
    ASSERT_EQ(w, kWidth);
    ASSERT_EQ(h, kHeight);

    HDC image = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(image, logo);
    HDC maskDc = CreateCompatibleDC(target);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    SetBkColor(image, kMagenta);
    ASSERT_TRUE(BitBlt(maskDc, 0, 0, w, h, image, 0, 0, SRCCOPY));
    HDC cutOut = CreateCompatibleDC(target);
    HBITMAP cutOutBitmap = CreateCompatibleBitmap(image, w, h);
    HGDIOBJ oldCutOut = SelectObject(cutOut, cutOutBitmap);
    ASSERT_TRUE(BitBlt(cutOut, 0, 0, w, h, image, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(cutOut, 0, 0, w, h, maskDc, 0, 0, 0x00220326));
    HDC back = CreateCompatibleDC(target);
    HBITMAP backBitmap = CreateCompatibleBitmap(image, w, h);
    HGDIOBJ oldBack = SelectObject(back, backBitmap);
    ASSERT_TRUE(BitBlt(back, 0, 0, w, h, target, x, y, SRCCOPY));
    ASSERT_TRUE(BitBlt(back, 0, 0, w, h, maskDc, 0, 0, SRCAND));
    ASSERT_TRUE(BitBlt(back, 0, 0, w, h, cutOut, 0, 0, SRCINVERT));
    ASSERT_TRUE(BitBlt(target, x, y, w, h, back, 0, 0, SRCCOPY));
    SelectObject(maskDc, oldMask);
    SelectObject(cutOut, oldCutOut);
    SelectObject(back, oldBack);
    SelectObject(image, oldImage);
    EXPECT_TRUE(DeleteObject(backBitmap));
    EXPECT_TRUE(DeleteDC(back));
    EXPECT_TRUE(DeleteObject(cutOutBitmap));
    EXPECT_TRUE(DeleteDC(cutOut));
    EXPECT_TRUE(DeleteObject(mask));
    EXPECT_TRUE(DeleteDC(maskDc));
    EXPECT_TRUE(DeleteDC(image));
    EXPECT_TRUE(DeleteObject(logo));
    platform::ui::ReleaseSurfaceDC(target);

    ExpectLogoOver(before, screen, x, y);
}

// The shorter classic sequence: XOR the image in, AND the mask, XOR the image again.
TEST(MaskedDraw, InvertAndInvertGivesTheSamePicture) {
    const auto dib = drawing_test::FourBitDib(kWidth, kHeight, drawing_test::StandardPalette(), kLogo);
    const platform::ui::Surface before = Background();
    platform::ui::Surface screen = before;
    HDC target = platform::ui::CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 12, 9});
    HBITMAP logo = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    HDC image = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(image, logo);
    HDC maskDc = CreateCompatibleDC(target);
    HBITMAP mask = CreateCompatibleBitmap(maskDc, kWidth, kHeight);  // a fresh context's: one bit
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    SetBkColor(image, kMagenta);
    BitBlt(maskDc, 0, 0, kWidth, kHeight, image, 0, 0, SRCCOPY);

    BitBlt(target, 5, 4, kWidth, kHeight, image, 0, 0, SRCINVERT);
    BitBlt(target, 5, 4, kWidth, kHeight, maskDc, 0, 0, SRCAND);
    BitBlt(target, 5, 4, kWidth, kHeight, image, 0, 0, SRCINVERT);

    SelectObject(maskDc, oldMask);
    SelectObject(image, oldImage);
    DeleteObject(mask);
    DeleteDC(maskDc);
    DeleteDC(image);
    DeleteObject(logo);
    platform::ui::ReleaseSurfaceDC(target);
    // The image is XORed outside the mask too, so the magenta parts come back unchanged only
    // because the mask is white there; the rest takes the logo's colours.
    ExpectLogoOver(before, screen, 5, 4);
}

}  // namespace
