// Glyphs and metrics from FreeType: Liberation Sans, falling back to DejaVu Sans for a missing
// file or a missing glyph. Glyphs are rendered one bit deep with the fonts' hinting, which gives
// the crisp, unsmoothed text of the handheld's screen. Thread-safe: one lock guards FreeType and
// the caches; cached glyphs never move, so callers keep references after the lock is released.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::ui::text {

enum class Weight { Regular, Bold };

struct FontSpec {
    int em = 11;  // pixels
    Weight weight = Weight::Regular;
    bool underline = false;
    auto operator<=>(const FontSpec&) const = default;
};

struct Glyph {
    int left = 0;     // from the pen position to the first column
    int top = 0;      // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0;  // whole pixels
    std::vector<uint8_t> ink;  // width * rows, 1 where the glyph is drawn
};

struct Metrics {
    int ascent = 0;
    int descent = 0;
    int height = 0;        // ascent + descent: one line
    int averageWidth = 0;  // as the dialog base units take it: the mean of A..Z a..z, rounded
    int maxWidth = 0;
};

const Metrics& MetricsOf(const FontSpec& face);
const Glyph& GlyphOf(const FontSpec& face, char32_t codePoint);

// Next code point of UTF-16 text at `index` (advanced past it); a lone surrogate is U+FFFD.
char32_t NextCodePoint(std::u16string_view text, size_t& index);

// Width of text in pixels: the sum of the glyphs' advances.
int TextWidth(const FontSpec& face, std::u16string_view text);

}  // namespace platform::ui::text
