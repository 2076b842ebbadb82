// Block transfers: the raster operations and the colour/monochrome conversions, against values
// worked out by hand.
#include "drawing_helpers.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using drawing_test::MemoryCanvas;

const std::vector<COLORREF> kSource = {0x00123456, 0x00FF00FF, 0x00000000, 0x00FFFFFF};
const std::vector<COLORREF> kDest = {0x00F00FAA, 0x000F0F0F, 0x00ABCDEF, 0x00808080};

std::vector<COLORREF> Blit(DWORD rop) {
    MemoryCanvas source(2, 2, kSource);
    MemoryCanvas dest(2, 2, kDest);
    EXPECT_TRUE(BitBlt(dest.dc(), 0, 0, 2, 2, source.dc(), 0, 0, rop));
    return dest.Pixels();
}

TEST(RasterOperations, TheFourOperationsOfTheMaskedDraw) {
    struct Case {
        DWORD rop;
        std::vector<COLORREF> expected;
    };
    const Case cases[] = {
        {SRCCOPY, {0x00123456, 0x00FF00FF, 0x00000000, 0x00FFFFFF}},
        {SRCAND, {0x00100402, 0x000F000F, 0x00000000, 0x00808080}},
        {SRCINVERT, {0x00E23BFC, 0x00F00FF0, 0x00ABCDEF, 0x007F7F7F}},
        {0x00220326, {0x00E00BA8, 0x00000F00, 0x00ABCDEF, 0x00000000}},
    };
    for (const Case& c : cases) EXPECT_EQ(Blit(c.rop), c.expected) << std::hex << c.rop;
}

// Every one of the 256 operations on one-bit pixels: each column is one combination of source
// and destination bits, and the brush (black or white) gives the pattern bit.
TEST(RasterOperations, EveryIndexFollowsItsTruthTable) {
    const std::vector<COLORREF> sourceBits = {0, 1, 0, 1};
    const std::vector<COLORREF> destBits = {0, 0, 1, 1};
    for (int index = 0; index < 256; ++index) {
        for (int p = 0; p < 2; ++p) {
            MemoryCanvas source(4, 1, sourceBits, true);
            MemoryCanvas dest(4, 1, destBits, true);
            HBRUSH brush = CreateSolidBrush(p ? RGB(255, 255, 255) : RGB(0, 0, 0));
            HGDIOBJ old = SelectObject(dest.dc(), brush);
            ASSERT_TRUE(BitBlt(dest.dc(), 0, 0, 4, 1, source.dc(), 0, 0, static_cast<DWORD>(index) << 16));
            SelectObject(dest.dc(), old);
            DeleteObject(brush);
            const auto result = dest.Pixels();
            for (int column = 0; column < 4; ++column) {
                const int bit = (p << 2) | (static_cast<int>(sourceBits[column]) << 1) |
                                static_cast<int>(destBits[column]);
                EXPECT_EQ(result[static_cast<size_t>(column)], static_cast<COLORREF>((index >> bit) & 1))
                    << "index " << index << " p " << p << " column " << column;
            }
        }
    }
}

TEST(RasterOperations, PatternOperationsUseTheSelectedBrush) {
    MemoryCanvas dest(2, 1, {0x00102030, 0x00FFFFFF});
    HBRUSH brush = CreateSolidBrush(0x000000FF);
    HGDIOBJ old = SelectObject(dest.dc(), brush);
    EXPECT_TRUE(PatBlt(dest.dc(), 0, 0, 1, 1, PATINVERT));
    EXPECT_TRUE(PatBlt(dest.dc(), 1, 0, 1, 1, PATCOPY));
    EXPECT_EQ(dest.Pixels(), (std::vector<COLORREF>{0x001020CF, 0x000000FF}));
    EXPECT_FALSE(PatBlt(dest.dc(), 0, 0, 1, 1, SRCCOPY)) << "a source operation needs a source";
    SelectObject(dest.dc(), old);
    DeleteObject(brush);
}

TEST(ColourToMonochrome, OneExactlyWhereTheSourceMatchesItsBackground) {
    MemoryCanvas source(4, 1, {RGB(255, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0), RGB(254, 0, 255)});
    MemoryCanvas mask(4, 1, {0, 0, 0, 0}, true);
    SetBkColor(source.dc(), RGB(255, 0, 255));
    SetBkColor(mask.dc(), RGB(0, 0, 0));  // the destination's colours play no part
    SetTextColor(mask.dc(), RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(mask.dc(), 0, 0, 4, 1, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(mask.Pixels(), (std::vector<COLORREF>{1, 0, 0, 0}));

    SetBkColor(source.dc(), RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(mask.dc(), 0, 0, 4, 1, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(mask.Pixels(), (std::vector<COLORREF>{0, 1, 0, 0}));
}

TEST(MonochromeToColour, OneTakesTheDestinationBackgroundZeroItsText) {
    MemoryCanvas mask(4, 1, {1, 0, 1, 0}, true);
    MemoryCanvas dest(4, 1, {0x00FFFFFF, 0x00FFFFFF, 0x000F0F0F, 0x000F0F0F});
    SetBkColor(mask.dc(), RGB(9, 9, 9));  // the source's colours play no part
    SetTextColor(mask.dc(), RGB(7, 7, 7));
    SetBkColor(dest.dc(), RGB(1, 2, 3));
    SetTextColor(dest.dc(), RGB(4, 5, 6));
    ASSERT_TRUE(BitBlt(dest.dc(), 0, 0, 2, 1, mask.dc(), 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(dest.dc(), 2, 0, 2, 1, mask.dc(), 2, 0, SRCAND));
    EXPECT_EQ(dest.Pixels(),
              (std::vector<COLORREF>{RGB(1, 2, 3), RGB(4, 5, 6), RGB(1, 2, 3) & 0x000F0F0F,
                                     RGB(4, 5, 6) & 0x000F0F0F}));
}

TEST(MonochromeToColour, AFreshContextExpandsOneToWhiteAndZeroToBlack) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    DeleteDC(dc);

    MemoryCanvas mask(2, 1, {1, 0}, true);
    MemoryCanvas dest(2, 1, {0x00123456, 0x00123456});
    ASSERT_TRUE(BitBlt(dest.dc(), 0, 0, 2, 1, mask.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dest.Pixels(), (std::vector<COLORREF>{RGB(255, 255, 255), RGB(0, 0, 0)}));
}

TEST(BlockTransfer, ClipsToBothBitmapsAndMovesTheSourceCornerWithIt) {
    MemoryCanvas source(2, 2, {1, 2, 3, 4});
    MemoryCanvas dest(3, 3, std::vector<COLORREF>(9, 0x00EEEEEE));
    // Starts one pixel left of and above the destination: only source pixel 4 lands, at (0, 0).
    ASSERT_TRUE(BitBlt(dest.dc(), -1, -1, 2, 2, source.dc(), 0, 0, SRCCOPY));
    // Reads beyond the source's right edge: only the first column is copied.
    ASSERT_TRUE(BitBlt(dest.dc(), 1, 1, 5, 1, source.dc(), 1, 0, SRCCOPY));
    EXPECT_EQ(dest.Pixels(), (std::vector<COLORREF>{4, 0x00EEEEEE, 0x00EEEEEE, 0x00EEEEEE, 2,
                                                    0x00EEEEEE, 0x00EEEEEE, 0x00EEEEEE, 0x00EEEEEE}));
}

TEST(BlockTransfer, OverlappingCopyWithinOneBitmapMovesThePicture) {
    MemoryCanvas canvas(1, 4, {1, 2, 3, 4});
    ASSERT_TRUE(BitBlt(canvas.dc(), 0, 1, 1, 3, canvas.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{1, 1, 2, 3}));
    ASSERT_TRUE(BitBlt(canvas.dc(), 0, 0, 1, 3, canvas.dc(), 0, 1, SRCCOPY));
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{1, 2, 3, 3}));
}

TEST(BlockTransfer, SurfaceContextsDrawOnlyInsideTheirClip) {
    platform::ui::Surface screen(6, 4, 0x00C0C0C0);
    HDC dc = platform::ui::CreateSurfaceDC(screen, POINT{2, 1}, RECT{2, 1, 5, 3});
    MemoryCanvas source(4, 4, std::vector<COLORREF>(16, RGB(0, 0, 255)));
    ASSERT_TRUE(BitBlt(dc, -1, -1, 10, 10, source.dc(), 0, 0, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(screen.At(x, y), inside ? 0x000000FFu : 0x00C0C0C0u) << x << "," << y;
        }
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID) << "outside the clip";
    EXPECT_TRUE(platform::ui::ReleaseSurfaceDC(dc));
}

TEST(BlockTransfer, BadHandlesFailWithInvalidHandle) {
    MemoryCanvas canvas(1, 1, {0});
    SetLastError(0);
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, 1, 1, reinterpret_cast<HDC>(0x1234), 0, 0, SRCCOPY));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace

namespace {

// Two UI threads create, use and delete objects at once; the handle table is shared.
TEST(BlockTransfer, TwoThreadsWithTheirOwnContexts) {
    auto worker = [](COLORREF colour, bool* right) {
        *right = true;
        for (int i = 0; i < 200; ++i) {
            MemoryCanvas source(8, 8, std::vector<COLORREF>(64, colour));
            MemoryCanvas dest(8, 8, std::vector<COLORREF>(64, 0x00FFFFFF));
            HBRUSH brush = CreateSolidBrush(colour);
            HGDIOBJ old = SelectObject(dest.dc(), brush);
            BitBlt(dest.dc(), 0, 0, 8, 8, source.dc(), 0, 0, MERGECOPY);  // P & S
            SelectObject(dest.dc(), old);
            DeleteObject(brush);
            for (COLORREF pixel : dest.Pixels()) *right = *right && pixel == colour;
        }
    };
    bool first = false, second = false;
    std::thread a(worker, RGB(10, 20, 30), &first), b(worker, RGB(200, 100, 50), &second);
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
}

}  // namespace
