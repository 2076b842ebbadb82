// The product logo, drawn so that its transparent-coloured pixels leave the target alone.
#pragma once

#include <windows.h>

// The colour of the logo's pixels that are not drawn.
inline constexpr COLORREF TRANSPARENT_COLOUR = RGB(255, 0, 255);

// Draws bitmap IDB_LOGO at its own size with its top-left at (x, y) of `target`. All the
// composition happens in memory contexts: the target is read once and written once.
void DrawLogoMasked(HDC target, int x, int y, COLORREF transparent);
