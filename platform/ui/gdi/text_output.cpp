// Fonts, text measuring and text output (ExtTextOut, DrawText).
#include "gdi_objects.h"
#include "raster.h"
#include "stock_objects.h"

#include "../text/text_layout.h"

#include <algorithm>
#include <cstring>

namespace platform::ui::gdi {
namespace {

namespace text = platform::ui::text;

text::FontSpec FaceOf(const Dc& dc) { return dc.font ? dc.font->face : SystemFontSpec(); }

std::u16string_view TextOf(LPCWSTR text, int count) {
    if (!text) return {};
    return count < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<size_t>(count));
}

// Ink of a run of text with its top-left at (x, top), advancing by the glyphs' widths or by
// `advances` when given.
void DrawRun(const Target& t, int x, int top, std::u16string_view run, const text::FontSpec& face,
             uint32_t value, const INT* advances = nullptr) {
    const int baseline = top + text::MetricsOf(face).ascent;
    int pen = x;
    size_t unit = 0;
    for (size_t i = 0; i < run.size();) {
        const text::Glyph& glyph = text::GlyphOf(face, text::NextCodePoint(run, i));
        for (int gy = 0; gy < glyph.rows; ++gy) {
            const int by = baseline - glyph.top + gy + t.origin.y;
            if (by < t.clip.top || by >= t.clip.bottom) continue;
            uint32_t* row = t.Row(by);
            for (int gx = 0; gx < glyph.width; ++gx) {
                const int bx = pen + glyph.left + gx + t.origin.x;
                if (bx >= t.clip.left && bx < t.clip.right && glyph.ink[static_cast<size_t>(gy) * glyph.width + gx])
                    row[bx] = value;
            }
        }
        pen += advances ? advances[unit] : glyph.advance;
        unit = i;
    }
    if (face.underline) {
        const int y = baseline + 1;
        PatternFill(t, RECT{x, y, pen, y + 1}, value, 0xF0);
    }
}

int RunWidth(std::u16string_view run, const text::FontSpec& face, const INT* advances) {
    if (!advances) return text::TextWidth(face, run);
    int width = 0;
    for (size_t i = 0; i < run.size(); ++i) width += advances[i];
    return width;
}

struct DrawTextJob {
    const Dc& dc;
    const Target& target;
    text::FontSpec face;
    UINT format;
};

// One laid-out line of DrawText: the opaque background, the ink and the mnemonic underlines.
void DrawLine(const DrawTextJob& job, const text::PrefixedText& prefixed, const text::Line& line,
              int x, int top) {
    const auto& metrics = text::MetricsOf(job.face);
    const std::u16string_view shown(prefixed.shown);
    const std::u16string_view run = shown.substr(line.begin, line.end - line.begin);
    if (job.dc.backgroundMode == OPAQUE)
        PatternFill(job.target, RECT{x, top, x + line.width, top + metrics.height},
                    DeviceValue(job.target.format, job.dc.background), 0xF0);
    const uint32_t ink = DeviceValue(job.target.format, job.dc.foreground);
    DrawRun(job.target, x, top, run, job.face, ink);
    for (size_t index : prefixed.underlined) {
        if (index < line.begin || index >= line.end) continue;
        const int from = x + text::TextWidth(job.face, shown.substr(line.begin, index - line.begin));
        const int width = text::TextWidth(job.face, shown.substr(index, 1));
        const int y = top + metrics.ascent + 1;
        PatternFill(job.target, RECT{from, y, from + width, y + 1}, ink, 0xF0);
    }
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;
namespace text = platform::ui::text;

HFONT CreateFontIndirect(const LOGFONTW* font) {
    if (!font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A negative height is the em in pixels, a positive one the cell height (em + internal
    // leading, about 13 to 11 for these faces), zero the system size.
    text::FontSpec face = SystemFontSpec();
    if (font->lfHeight < 0) face.em = std::min<LONG>(-font->lfHeight, 400);
    if (font->lfHeight > 0) face.em = std::max<LONG>(1, std::min<LONG>(font->lfHeight * 11 / 13, 400));
    face.weight = font->lfWeight >= 600 ? text::Weight::Bold : text::Weight::Regular;
    face.underline = font->lfUnderline != 0;
    return static_cast<HFONT>(Register(std::make_shared<Font>(face)));
}

BOOL GetTextMetrics(HDC handle, LPTEXTMETRIC metrics) {
    auto dc = LookupDc(handle);
    if (!dc || !metrics) return FALSE;
    const text::FontSpec face = FaceOf(*dc);
    const text::Metrics& m = text::MetricsOf(face);
    *metrics = TEXTMETRICW{};
    metrics->tmHeight = m.height;
    metrics->tmAscent = m.ascent;
    metrics->tmDescent = m.descent;
    metrics->tmInternalLeading = std::max(0, m.height - face.em);
    metrics->tmAveCharWidth = m.averageWidth;
    metrics->tmMaxCharWidth = m.maxWidth;
    metrics->tmWeight = face.weight == text::Weight::Bold ? FW_BOLD : FW_NORMAL;
    metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = 96;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFFFC;
    metrics->tmDefaultChar = 0x1F;
    metrics->tmBreakChar = 0x20;
    metrics->tmUnderlined = face.underline ? 1 : 0;
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC handle, LPCWSTR string, int count, LPSIZE size) {
    auto dc = LookupDc(handle);
    if (!dc || !size || count < 0 || (!string && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const text::FontSpec face = FaceOf(*dc);
    size->cx = text::TextWidth(face, TextOf(string, count));
    size->cy = text::MetricsOf(face).height;
    return TRUE;
}

BOOL GetTextExtentExPoint(HDC handle, LPCWSTR string, int count, int maxExtent, LPINT fit,
                          LPINT partialExtents, LPSIZE size) {
    auto dc = LookupDc(handle);
    if (!dc || !size || count < 0 || (!string && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const text::FontSpec face = FaceOf(*dc);
    int width = 0, fitting = 0;
    for (int i = 0; i < count; ++i) {
        width += text::GlyphOf(face, string[i]).advance;
        if (partialExtents) partialExtents[i] = width;
        if (width <= maxExtent) fitting = i + 1;
    }
    if (fit) *fit = fitting;
    size->cx = width;
    size->cy = text::MetricsOf(face).height;
    return TRUE;
}

BOOL ExtTextOut(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR string, UINT count,
                const INT* advances) {
    auto dc = LookupDc(handle);
    if (!dc || (!string && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Target target = TargetOf(*dc);
    const text::FontSpec face = FaceOf(*dc);
    const std::u16string_view run = TextOf(string, static_cast<int>(count));
    const uint32_t background = DeviceValue(target.format, dc->background);
    if (rect && (options & ETO_OPAQUE)) PatternFill(target, *rect, background, 0xF0);
    if (rect && (options & ETO_CLIPPED)) target.clip = Intersect(target.clip, ToClippedBuffer(target, *rect));
    if (dc->backgroundMode == OPAQUE && !(rect && (options & ETO_OPAQUE))) {
        const int width = RunWidth(run, face, advances);
        PatternFill(target, RECT{x, y, x + width, y + text::MetricsOf(face).height}, background, 0xF0);
    }
    DrawRun(target, x, y, run, face, DeviceValue(target.format, dc->foreground), advances);
    return TRUE;
}

int DrawText(HDC handle, LPCWSTR string, int count, LPRECT rect, UINT format) {
    auto dc = LookupDc(handle);
    if (!dc || !rect || (!string && count != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const text::FontSpec face = FaceOf(*dc);
    const auto& metrics = text::MetricsOf(face);
    const std::u16string_view source = TextOf(string, count);
    text::PrefixedText prefixed = format & DT_NOPREFIX ? text::PrefixedText{std::u16string(source), {}}
                                                       : text::StripPrefixes(source);
    const int boxWidth = rect->right - rect->left;
    if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE))
        prefixed.shown = text::WithEndEllipsis(face, prefixed.shown, boxWidth);
    std::vector<text::Line> lines;
    if (format & DT_SINGLELINE)
        lines.push_back(text::Line{0, prefixed.shown.size(), text::TextWidth(face, prefixed.shown)});
    else
        lines = text::BreakLines(face, prefixed.shown,
                                 format & DT_WORDBREAK ? text::Wrap::Words : text::Wrap::None, boxWidth);
    const int height = static_cast<int>(lines.size()) * metrics.height;

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& line : lines) widest = std::max(widest, line.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }

    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) top = rect->top + (rect->bottom - rect->top - metrics.height) / 2;
        else if (format & DT_BOTTOM) top = rect->bottom - metrics.height;
    }
    Target target = TargetOf(*dc);
    if (!(format & DT_NOCLIP)) target.clip = Intersect(target.clip, ToClippedBuffer(target, *rect));
    const DrawTextJob job{*dc, target, face, format};
    for (const auto& line : lines) {
        int x = rect->left;
        if (format & DT_CENTER) x = rect->left + (boxWidth - line.width) / 2;
        else if (format & DT_RIGHT) x = rect->right - line.width;
        DrawLine(job, prefixed, line, x, top);
        top += metrics.height;
    }
    return height;
}
