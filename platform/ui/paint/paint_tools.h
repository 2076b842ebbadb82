// Small helpers the painters share.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string_view>

namespace platform::ui::paint {

// Fills with a system colour.
void Fill(HDC dc, const RECT& rect, int sysColour);

// Selects a font and text colour with a transparent background for the scope, restoring the
// context's own on leaving.
class TextScope {
public:
    TextScope(HDC dc, HFONT font, COLORREF colour);
    ~TextScope();
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;
    void SetColour(COLORREF colour) { SetTextColor(dc_, colour); }

private:
    HDC dc_;
    HGDIOBJ oldFont_;
    COLORREF oldColour_;
    int oldMode_;
};

void Text(HDC dc, std::u16string_view text, RECT rect, UINT format);
// Disabled text: white one pixel down and right, grey on top.
void EtchedText(HDC dc, std::u16string_view text, RECT rect, UINT format);

// A small picture given as rows of characters: '#' is drawn in `colour`, anything else is left.
void Pattern(HDC dc, int x, int y, std::initializer_list<std::string_view> rows, COLORREF colour);

// The solid arrow of a combo box or scroll bar: a triangle `width` wide at the base,
// pointing down (or up), centred in `rect`.
enum class ArrowDirection { Up, Down };
void Arrow(HDC dc, const RECT& rect, ArrowDirection direction, COLORREF colour, int offset = 0);

// Light checkerboard of a pushed-in toggle or a scroll track.
void Dither(HDC dc, const RECT& rect);

RECT Deflated(RECT rect, int by);

}  // namespace platform::ui::paint
