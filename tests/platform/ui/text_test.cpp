// Text: the system font's metrics, measuring, DrawText's prefixes, line breaks and alignment,
// and drawing from two threads at once.
#include <platform/ui/surface.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using platform::ui::Surface;

constexpr uint32_t kWhite = 0x00FFFFFF;

// A white surface with a context over all of it; transparent text unless told otherwise.
struct Page {
    Surface surface;
    HDC dc;
    explicit Page(int width = 120, int height = 40) : surface(width, height, kWhite) {
        dc = platform::ui::CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, width, height});
        SetBkMode(dc, TRANSPARENT);
    }
    ~Page() { platform::ui::ReleaseSurfaceDC(dc); }
    int Draw(std::u16string_view text, RECT rect, UINT format) {
        return DrawText(dc, text.data(), static_cast<int>(text.size()), &rect, format);
    }
    bool RowHasInk(int y, int from = 0, int to = -1) const {
        if (to < 0) to = surface.width;
        for (int x = from; x < to; ++x)
            if (surface.At(x, y) != kWhite) return true;
        return false;
    }
    int InkColumns() const {  // columns with any ink
        int count = 0;
        for (int x = 0; x < surface.width; ++x)
            for (int y = 0; y < surface.height; ++y)
                if (surface.At(x, y) != kWhite) {
                    ++count;
                    break;
                }
        return count;
    }
};

int Width(HDC dc, std::u16string_view text) {
    SIZE size{};
    GetTextExtentPoint32(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

TEST(SystemFont, AverageWidthMatchesTheDialogBaseUnits) {
    Page page;
    TEXTMETRIC metrics{};
    ASSERT_TRUE(GetTextMetrics(page.dc, &metrics));
    EXPECT_EQ(metrics.tmAveCharWidth, 6);
    EXPECT_EQ(metrics.tmHeight, 13);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32(page.dc, u"Backup", 6, &size));
    EXPECT_EQ(size.cy, 13);
    EXPECT_EQ(size.cx, Width(page.dc, u"Back") + Width(page.dc, u"up")) << "no kerning";
    EXPECT_EQ(Width(page.dc, u""), 0);
}

TEST(SystemFont, ExtentsOfEachPrefixAndHowManyFit) {
    Page page;
    int fit = -1;
    int extents[6] = {};
    SIZE size{};
    ASSERT_TRUE(GetTextExtentExPoint(page.dc, u"Backup", 6, Width(page.dc, u"Bac"), &fit, extents, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(extents[2], Width(page.dc, u"Bac"));
    EXPECT_EQ(extents[5], Width(page.dc, u"Backup"));
    EXPECT_EQ(size.cx, extents[5]);
    EXPECT_FALSE(GetTextExtentExPoint(page.dc, u"x", -1, 10, &fit, nullptr, &size));
}

TEST(SystemFont, BoldIsWiderAndFontsComeFromLogicalDescriptions) {
    Page page;
    LOGFONT bold{};
    bold.lfHeight = -11;
    bold.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirect(&bold);
    const int regular = Width(page.dc, u"Quorva CE Tandel");
    HGDIOBJ old = SelectObject(page.dc, font);
    EXPECT_GT(Width(page.dc, u"Quorva CE Tandel"), regular);
    LOGFONT back{};
    ASSERT_EQ(GetObject(font, sizeof back, &back), static_cast<int>(sizeof back));
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_EQ(back.lfHeight, -11);
    SelectObject(page.dc, old);
    DeleteObject(font);
}

TEST(DrawText, PrefixUnderlinesTheMnemonicOnly) {
    Page plain, prefixed, doubled, literal;
    plain.Draw(u"Backup", RECT{0, 0, 120, 40}, DT_NOPREFIX);
    prefixed.Draw(u"&Backup", RECT{0, 0, 120, 40}, 0);
    const int underline = 10 + 1;  // one row below the baseline
    const int bWidth = Width(plain.dc, u"B");
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool underlined = y == underline && x < bWidth;
            EXPECT_EQ(prefixed.surface.At(x, y), underlined ? 0u : plain.surface.At(x, y)) << x << "," << y;
        }
    doubled.Draw(u"R&&D", RECT{0, 0, 120, 40}, 0);
    literal.Draw(u"R&D", RECT{0, 0, 120, 40}, DT_NOPREFIX);
    EXPECT_EQ(doubled.surface, literal.surface);
}

TEST(DrawText, LineFeedsAndWordBreaksMakeLines) {
    Page page(200, 80);
    EXPECT_EQ(page.Draw(u"one\r\ntwo", RECT{0, 0, 200, 80}, 0), 26);
    const int pair = Width(page.dc, u"nnnn nnnn");
    RECT exact{0, 0, pair, 0};
    EXPECT_EQ(DrawText(page.dc, u"nnnn nnnn nnnn nnnn", -1, &exact, DT_CALCRECT | DT_WORDBREAK), 26);
    EXPECT_EQ(exact.right, pair);
    RECT tight{0, 0, pair - 1, 0};
    EXPECT_EQ(DrawText(page.dc, u"nnnn nnnn nnnn nnnn", -1, &tight, DT_CALCRECT | DT_WORDBREAK), 52);
    EXPECT_EQ(tight.bottom, 52);
    EXPECT_EQ(tight.right, Width(page.dc, u"nnnn"));
    RECT single{0, 0, 60, 0};
    DrawText(page.dc, u"alpha beta gamma delta", -1, &single, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(single.bottom, 13);
    EXPECT_EQ(single.right, Width(page.dc, u"alpha beta gamma delta"));
    // A word wider than the box stays whole on its own line.
    RECT narrow{0, 0, 10, 0};
    EXPECT_EQ(DrawText(page.dc, u"extraordinary word", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), 26);
}

TEST(DrawText, AlignmentPlacesEachLine) {
    Page left(100, 20), centred(100, 20), right(100, 20);
    const int width = Width(left.dc, u"OK");
    left.Draw(u"OK", RECT{0, 0, 100, 20}, DT_LEFT | DT_SINGLELINE);
    centred.Draw(u"OK", RECT{0, 0, 100, 20}, DT_CENTER | DT_SINGLELINE);
    right.Draw(u"OK", RECT{0, 0, 100, 20}, DT_RIGHT | DT_SINGLELINE);
    for (int y = 0; y < 20; ++y) {
        EXPECT_FALSE(left.RowHasInk(y, width, 100));
        EXPECT_FALSE(centred.RowHasInk(y, 0, (100 - width) / 2));
        EXPECT_FALSE(centred.RowHasInk(y, (100 - width) / 2 + width, 100));
        EXPECT_FALSE(right.RowHasInk(y, 0, 100 - width));
    }
    EXPECT_GT(left.InkColumns(), 0);
    Page vcentre(100, 33);
    vcentre.Draw(u"OK", RECT{0, 0, 100, 33}, DT_SINGLELINE | DT_VCENTER);
    for (int y = 0; y < 10; ++y) EXPECT_FALSE(vcentre.RowHasInk(y)) << y;
}

TEST(DrawText, ClipsToItsRectangleUnlessToldNot) {
    Page clipped, unclipped;
    clipped.Draw(u"Cancel", RECT{0, 0, 8, 20}, DT_SINGLELINE);
    unclipped.Draw(u"Cancel", RECT{0, 0, 8, 20}, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_FALSE(clipped.RowHasInk(5, 8)) << "nothing right of the box";
    EXPECT_GT(unclipped.InkColumns(), 8);
}

TEST(TextOutput, OpaqueModeFillsTheTextCellWithTheBackgroundColour) {
    Page page(60, 20);
    SetBkMode(page.dc, OPAQUE);
    SetBkColor(page.dc, RGB(0, 0, 128));
    SetTextColor(page.dc, RGB(255, 255, 255));
    ASSERT_TRUE(ExtTextOut(page.dc, 2, 3, 0, nullptr, u"Hi", 2, nullptr));
    const int width = Width(page.dc, u"Hi");
    EXPECT_EQ(page.surface.At(2, 3), 0x000080u);
    EXPECT_EQ(page.surface.At(2 + width - 1, 3 + 12), 0x000080u);
    EXPECT_EQ(page.surface.At(2 + width, 3), kWhite);
    EXPECT_EQ(page.surface.At(2, 2), kWhite);

    const RECT box{30, 0, 60, 20};
    ASSERT_TRUE(ExtTextOut(page.dc, 30, 0, ETO_OPAQUE | ETO_CLIPPED, &box, nullptr, 0, nullptr));
    EXPECT_EQ(page.surface.At(59, 19), 0x000080u);
}

// Two threads draw the same text into surfaces of their own; the font cache is shared.
TEST(TextOutput, TwoThreadsDrawAtOnce) {
    Page reference(200, 20);
    reference.Draw(u"Backup 1999-03-18 23.05 \u00e9\u00df", RECT{0, 0, 200, 20}, DT_SINGLELINE);
    auto worker = [&](bool* same) {
        *same = true;
        for (int i = 0; i < 50; ++i) {
            Page page(200, 20);
            page.Draw(u"Backup 1999-03-18 23.05 \u00e9\u00df", RECT{0, 0, 200, 20}, DT_SINGLELINE);
            LOGFONT big{};
            big.lfHeight = -(12 + i % 5);
            HFONT font = CreateFontIndirect(&big);
            HGDIOBJ old = SelectObject(page.dc, font);
            SIZE size;
            GetTextExtentPoint32(page.dc, u"xyz", 3, &size);
            SelectObject(page.dc, old);
            DeleteObject(font);
            *same = *same && page.surface == reference.surface;
        }
    };
    bool first = false, second = false;
    std::thread a(worker, &first), b(worker, &second);
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
}

}  // namespace
