// Laying text out as DrawText does: '&' prefixes, line feeds, word breaks, end ellipsis.
#pragma once

#include "font_engine.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::ui::text {

struct PrefixedText {
    std::u16string shown;            // the text without its prefix characters
    std::vector<size_t> underlined;  // indices into `shown` of the characters to underline
};

// "&Backup" shows "Backup" with B underlined; "&&" shows one '&'; a trailing '&' shows nothing.
PrefixedText StripPrefixes(std::u16string_view text);

struct Line {
    size_t begin = 0;  // into the shown text
    size_t end = 0;
    int width = 0;
};

enum class Wrap { None, Words };

// Lines broken at line feeds (a carriage return before one is dropped) and, with Wrap::Words,
// before the word that would cross `maxWidth` (a word wider than that stays whole on its own
// line). The spaces at a word break belong to no line.
std::vector<Line> BreakLines(const FontSpec& face, std::u16string_view shown, Wrap wrap, int maxWidth);

// The text cut so that it and "..." fit in maxWidth; unchanged when it fits already.
std::u16string WithEndEllipsis(const FontSpec& face, std::u16string_view text, int maxWidth);

}  // namespace platform::ui::text
