// Contexts and objects: selection, lifetimes, compatible formats, fills, edges and colours.
#include "drawing_helpers.h"

#include <gtest/gtest.h>

namespace {

using drawing_test::MemoryCanvas;

TEST(Selection, ReturnsThePreviousObjectAndABitmapLivesInOneContextAtATime) {
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetObjectType(original), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetCurrentObject(first, OBJ_BITMAP), bitmap);

    SetLastError(0);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr) << "still selected into the first context";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SelectObject(first, original), bitmap);
    EXPECT_NE(SelectObject(second, bitmap), nullptr) << "free again once deselected";

    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ oldBrush = SelectObject(second, brush);
    EXPECT_EQ(oldBrush, GetStockObject(WHITE_BRUSH)) << "a fresh context holds the white brush";
    EXPECT_EQ(SelectObject(second, oldBrush), brush);
    EXPECT_EQ(GetCurrentObject(second, OBJ_FONT), GetStockObject(SYSTEM_FONT));

    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(first));
}

TEST(Selection, DeletingASelectedBitmapKillsTheHandleNotThePixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    BITMAP info{};
    EXPECT_EQ(GetObject(bitmap, sizeof info, &info), 0) << "the handle is gone";
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(9, 8, 7)), RGB(9, 8, 7)) << "the context still draws";
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(9, 8, 7));
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteDC(dc));
    SetLastError(0);
    EXPECT_EQ(SetBkColor(dc, 0), CLR_INVALID) << "a deleted context is refused";
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Objects, StockObjectsSurviveDeletion) {
    HGDIOBJ black = GetStockObject(BLACK_BRUSH);
    EXPECT_TRUE(DeleteObject(black));
    EXPECT_EQ(GetObjectType(black), static_cast<DWORD>(OBJ_BRUSH));
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    EXPECT_TRUE(DeleteObject(face));
    MemoryCanvas canvas(1, 1, {0});
    const RECT all{0, 0, 1, 1};
    EXPECT_TRUE(FillRect(canvas.dc(), &all, face));
    EXPECT_EQ(canvas.Pixels()[0], RGB(192, 192, 192));
}

TEST(Objects, CompatibleBitmapsTakeTheFormatOfTheContextsBitmap) {
    platform::ui::Surface screen(4, 4);
    HDC screenDc = platform::ui::CreateSurfaceDC(screen, POINT{0, 0}, RECT{0, 0, 4, 4});
    HDC fresh = CreateCompatibleDC(screenDc);
    BITMAP info{};
    HBITMAP fromScreen = CreateCompatibleBitmap(screenDc, 3, 2);
    GetObject(fromScreen, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmWidthBytes, 12);
    // A fresh memory context holds a one-bit bitmap, so its compatible bitmaps are one bit deep.
    HBITMAP fromFresh = CreateCompatibleBitmap(fresh, 20, 2);
    GetObject(fromFresh, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidthBytes, 4);
    EXPECT_EQ(GetObject(fromFresh, 0, nullptr), static_cast<int>(sizeof(BITMAP)));

    EXPECT_EQ(CreateCompatibleBitmap(fresh, 0, 5), nullptr);
    EXPECT_EQ(CreateBitmap(-1, 5, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, nullptr), nullptr);
    DeleteObject(fromScreen);
    DeleteObject(fromFresh);
    DeleteDC(fresh);
    platform::ui::ReleaseSurfaceDC(screenDc);
}

TEST(Objects, CreateBitmapTakesInitialBits) {
    const BYTE monoBits[] = {0xA0, 0x00, 0x40, 0x00};  // rows padded to 16 bits: 101, 010
    HBITMAP mono = CreateBitmap(3, 2, 1, 1, monoBits);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(mono).pixels,
              (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF, 0}));
    const BYTE colourBits[] = {0x03, 0x02, 0x01, 0x00};
    HBITMAP colour = CreateBitmap(1, 1, 1, 32, colourBits);
    EXPECT_EQ(platform::ui::SurfaceFromBitmap(colour).pixels, (std::vector<uint32_t>{0x010203}));
    DeleteObject(mono);
    DeleteObject(colour);
}

TEST(SystemColours, TheThreeDimensionalPaletteWithOrWithoutTheIndexFlag) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(15), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(128, 128, 128));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_ACTIVECAPTION), RGB(0, 0, 128));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(0, 0, 128));
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), GetSysColorBrush(5));
    EXPECT_EQ(GetSysColorBrush(99), nullptr);
}

TEST(Fills, SystemColourIndexPlusOneStandsForABrush) {
    MemoryCanvas canvas(2, 1, {0, 0});
    const RECT left{0, 0, 1, 1};
    EXPECT_TRUE(FillRect(canvas.dc(), &left, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNSHADOW + 1))));
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{RGB(128, 128, 128), 0}));
}

TEST(Fills, FocusRectangleIsDottedAndUndoneByDrawingItAgain) {
    const std::vector<COLORREF> white(25, RGB(255, 255, 255));
    MemoryCanvas canvas(5, 5, white);
    const RECT box{0, 0, 5, 5};
    ASSERT_TRUE(DrawFocusRect(canvas.dc(), &box));
    const auto dotted = canvas.Pixels();
    const COLORREF k = 0, w = RGB(255, 255, 255);
    EXPECT_EQ(dotted, (std::vector<COLORREF>{k, w, k, w, k,
                                             w, w, w, w, w,
                                             k, w, w, w, k,
                                             w, w, w, w, w,
                                             k, w, k, w, k}));
    ASSERT_TRUE(DrawFocusRect(canvas.dc(), &box));
    EXPECT_EQ(canvas.Pixels(), white);
}

TEST(Fills, RaisedEdgeLightTopLeftDarkBottomRightOwningTheCorners) {
    MemoryCanvas canvas(4, 4, std::vector<COLORREF>(16, RGB(1, 1, 1)));
    RECT box{0, 0, 4, 4};
    ASSERT_TRUE(DrawEdge(canvas.dc(), &box, EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST));
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.bottom, 2);
    const COLORREF w = RGB(255, 255, 255), k = 0, l = RGB(192, 192, 192), s = RGB(128, 128, 128);
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{w, w, w, k,
                                                      w, l, s, k,
                                                      w, s, s, k,
                                                      k, k, k, k}));
}

TEST(Fills, ClippingNarrowsWithIntersectClipRect) {
    MemoryCanvas canvas(3, 1, {0, 0, 0});
    EXPECT_EQ(IntersectClipRect(canvas.dc(), 1, 0, 5, 5), SIMPLEREGION);
    RECT box;
    EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.right, 3);
    EXPECT_TRUE(PatBlt(canvas.dc(), 0, 0, 3, 1, WHITENESS));
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{0, RGB(255, 255, 255), RGB(255, 255, 255)}));
}

TEST(Shapes, RectangleFramesWithThePenAndFillsWithTheBrush) {
    MemoryCanvas canvas(4, 4, std::vector<COLORREF>(16, RGB(9, 9, 9)));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(canvas.dc(), pen);
    HGDIOBJ oldBrush = SelectObject(canvas.dc(), brush);
    ASSERT_TRUE(Rectangle(canvas.dc(), 0, 0, 4, 3));  // right and bottom are outside
    const COLORREF r = RGB(255, 0, 0), b = RGB(0, 0, 255), o = RGB(9, 9, 9);
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{r, r, r, r,
                                                      r, b, b, r,
                                                      r, r, r, r,
                                                      o, o, o, o}));
    SelectObject(canvas.dc(), GetStockObject(NULL_BRUSH));
    SelectObject(canvas.dc(), GetStockObject(WHITE_PEN));
    ASSERT_TRUE(Rectangle(canvas.dc(), 0, 0, 3, 3));
    EXPECT_EQ(canvas.Pixels()[5], b) << "a hollow brush leaves the inside";
    SelectObject(canvas.dc(), oldPen);
    SelectObject(canvas.dc(), oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    EXPECT_EQ(CreatePen(99, 1, 0), nullptr);
}

TEST(Shapes, PolylineLeavesOutItsLastPoint) {
    MemoryCanvas canvas(4, 4, std::vector<COLORREF>(16, 0x00FFFFFF));
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
    const POINT points[] = {{0, 0}, {3, 0}, {3, 3}};
    ASSERT_TRUE(Polyline(canvas.dc(), points, 3));
    const COLORREF k = 0, w = 0x00FFFFFF;
    EXPECT_EQ(canvas.Pixels(), (std::vector<COLORREF>{k, k, k, k,
                                                      w, w, w, k,
                                                      w, w, w, k,
                                                      w, w, w, w}));
    EXPECT_FALSE(Polyline(canvas.dc(), points, 1));
}

bool Same(const RECT& a, RECT b) { return EqualRect(&a, &b); }

TEST(Rectangles, Helpers) {
    RECT a, b{5, 5, 15, 15}, out;
    SetRect(&a, 0, 0, 10, 10);
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(Same(out, RECT{5, 5, 10, 10}));
    EXPECT_TRUE(UnionRect(&out, &a, &b));
    EXPECT_TRUE(Same(out, RECT{0, 0, 15, 15}));
    const RECT far{20, 20, 30, 30};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_TRUE(PtInRect(&a, POINT{0, 9}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 0})) << "right and bottom edges are outside";
    InflateRect(&a, -2, 1);
    OffsetRect(&a, 1, 1);
    EXPECT_TRUE(Same(a, RECT{3, 0, 9, 12}));
}

}  // namespace
