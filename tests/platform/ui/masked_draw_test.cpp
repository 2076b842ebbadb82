// The masked draw of a magenta-backed 4-bit bitmap, step by step as the main dialog's logo is
// drawn: the destination shows through exactly where the bitmap is magenta.
#include "drawing_helpers.h"

#include <platform/ui/images.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

// The main dialog's recipe: a mask from the image with the background set to the transparent
// colour, a cut-out with the transparent parts blackened, the target's pixels masked and the
// cut-out XORed in, all in memory contexts; only the copy in and the copy out touch the target.
void DrawMasked(HDC target, HBITMAP logo, int x, int y, COLORREF transparent) {
    BITMAP info{};
    ASSERT_EQ(GetObject(logo, sizeof info, &info), static_cast<int>(sizeof info));
    const int w = info.bmWidth, h = info.bmHeight;
    HDC image = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(image, logo);
    HDC maskDc = CreateCompatibleDC(target);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    SetBkColor(image, transparent);
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
}

TEST(MaskedDraw, TheLogoRecipeLeavesTheBackgroundWhereTheBitmapIsMagenta) {
    const auto dib = drawing_test::FourBitDib(kWidth, kHeight, drawing_test::StandardPalette(), kLogo);
    const platform::ui::Surface before = Background();
    platform::ui::Surface screen = before;
    HDC target = platform::ui::CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 12, 9});
    HBITMAP logo = platform::ui::CreateBitmapFromDib(dib.data(), dib.size());
    ASSERT_NE(logo, nullptr);
    DrawMasked(target, logo, 3, 2, kMagenta);
    EXPECT_TRUE(DeleteObject(logo));
    platform::ui::ReleaseSurfaceDC(target);
    ExpectLogoOver(before, screen, 3, 2);
}

std::vector<BYTE> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program's own logo, drawn where the main dialog draws it: no magenta pixel reaches the
// dialog, and its background shows through every magenta pixel of the logo.
TEST(MaskedDraw, TheProgramsLogoOnTheMainDialog) {
    const auto file = ReadFile(std::filesystem::path(TANDEL_SOURCE_DIR) / "app/resources/logo.bmp");
    ASSERT_GT(file.size(), 14u);
    HBITMAP logo = platform::ui::CreateBitmapFromDib(file.data() + 14, file.size() - 14);  // no file header
    ASSERT_NE(logo, nullptr);
    const platform::ui::Surface picture = platform::ui::SurfaceFromBitmap(logo);
    ASSERT_EQ(picture.width, 52);
    ASSERT_EQ(picture.height, 93);

    platform::ui::Surface client(278, 150, 0x00C0C0C0);
    HDC dc = platform::ui::CreateSurfaceDC(client, POINT{0, 0}, RECT{0, 0, 278, 150});
    DrawMasked(dc, logo, 150, 17, kMagenta);
    platform::ui::ReleaseSurfaceDC(dc);
    DeleteObject(logo);
    size_t drawn = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 278; ++x) {
            ASSERT_NE(client.At(x, y), 0x00FF00FFu) << x << "," << y;
            const bool inLogo = x >= 150 && x < 202 && y >= 17 && y < 110;
            const uint32_t logoPixel = inLogo ? picture.At(x - 150, y - 17) : 0x00FF00FFu;
            ASSERT_EQ(client.At(x, y), logoPixel == 0x00FF00FFu ? 0x00C0C0C0u : logoPixel) << x << "," << y;
            drawn += logoPixel != 0x00FF00FFu;
        }
    EXPECT_GT(drawn, 100u) << "the logo has a picture on its magenta";
}

// The program's icon file holds a 32 x 32 and a 16 x 16 image; each decodes through its mask.
TEST(IconFile, BothImagesOfTheProgramsIconDecode) {
    const auto file = ReadFile(std::filesystem::path(TANDEL_SOURCE_DIR) / "app/resources/tandel.ico");
    ASSERT_GE(file.size(), 6u);
    const int count = file[4] | (file[5] << 8);
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = file.data() + 6 + 16 * i;
        const uint32_t size = entry[8] | (entry[9] << 8) | (entry[10] << 16) | (static_cast<uint32_t>(entry[11]) << 24);
        const uint32_t offset = entry[12] | (entry[13] << 8) | (entry[14] << 16) | (static_cast<uint32_t>(entry[15]) << 24);
        ASSERT_LE(static_cast<size_t>(offset) + size, file.size());
        HICON icon = platform::ui::CreateIconFromImage(file.data() + offset, size);
        ASSERT_NE(icon, nullptr) << i;
        EXPECT_EQ(platform::ui::GetIconSize(icon).cx, entry[0]);
        EXPECT_EQ(platform::ui::GetIconSize(icon).cy, entry[1]);
        DestroyIcon(icon);
    }
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
    // Where the mask is white the two XORs cancel; where it is black the AND cleared the
    // destination and the second XOR puts the logo's colour there.
    ExpectLogoOver(before, screen, 5, 4);
}

}  // namespace
