#include "text_layout.h"

namespace platform::ui::text {

PrefixedText StripPrefixes(std::u16string_view text) {
    PrefixedText result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            result.shown.push_back(text[i]);
            continue;
        }
        if (++i >= text.size()) break;
        if (text[i] != u'&') result.underlined.push_back(result.shown.size());
        result.shown.push_back(text[i]);
    }
    return result;
}

namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

int Width(const FontSpec& face, std::u16string_view shown, size_t begin, size_t end) {
    return TextWidth(face, shown.substr(begin, end - begin));
}

// One paragraph (no line feeds) into lines of at most maxWidth, breaking between words.
void WrapParagraph(const FontSpec& face, std::u16string_view shown, size_t begin, size_t end,
                   int maxWidth, std::vector<Line>& lines) {
    size_t lineStart = begin;
    while (true) {
        size_t lineEnd = lineStart;  // end of the last word that fits
        size_t scan = lineStart;
        while (scan < end) {
            size_t wordEnd = scan;
            while (wordEnd < end && IsSpace(shown[wordEnd])) ++wordEnd;
            while (wordEnd < end && !IsSpace(shown[wordEnd])) ++wordEnd;
            if (lineEnd != lineStart && Width(face, shown, lineStart, wordEnd) > maxWidth) break;
            lineEnd = scan = wordEnd;
        }
        lines.push_back(Line{lineStart, lineEnd, Width(face, shown, lineStart, lineEnd)});
        size_t next = lineEnd;
        while (next < end && IsSpace(shown[next])) ++next;
        if (next >= end) return;
        lineStart = next;
    }
}

}  // namespace

std::vector<Line> BreakLines(const FontSpec& face, std::u16string_view shown, Wrap wrap, int maxWidth) {
    std::vector<Line> lines;
    size_t start = 0;
    while (true) {
        size_t feed = shown.find(u'\n', start);
        const size_t stop = feed == std::u16string_view::npos ? shown.size() : feed;
        const size_t end = stop > start && shown[stop - 1] == u'\r' ? stop - 1 : stop;
        if (wrap == Wrap::Words && start < end)
            WrapParagraph(face, shown, start, end, maxWidth, lines);
        else
            lines.push_back(Line{start, end, Width(face, shown, start, end)});
        if (feed == std::u16string_view::npos) return lines;
        start = feed + 1;
    }
}

std::u16string WithEndEllipsis(const FontSpec& face, std::u16string_view text, int maxWidth) {
    if (TextWidth(face, text) <= maxWidth) return std::u16string(text);
    const int dots = TextWidth(face, u"...");
    size_t keep = text.size();
    while (keep > 0 && TextWidth(face, text.substr(0, keep)) + dots > maxWidth) --keep;
    return std::u16string(text.substr(0, keep)) + u"...";
}

}  // namespace platform::ui::text
