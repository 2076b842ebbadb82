// The system colours of the handheld's 3D look and their shared brushes.
#include "gdi_objects.h"

#include <array>

namespace {

constexpr int kColourCount = 27;

constexpr std::array<COLORREF, kColourCount> kColours = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(192, 192, 192),  // 3D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(192, 192, 192),  // static background
    RGB(0, 0, 0),        // static text
};

int IndexOf(int index) { return index & ~SYS_COLOR_INDEX_FLAG; }

HBRUSH BrushFor(int index) {
    static const std::array<HGDIOBJ, kColourCount> brushes = [] {
        std::array<HGDIOBJ, kColourCount> made{};
        for (int i = 0; i < kColourCount; ++i) {
            auto brush = std::make_shared<platform::ui::gdi::Brush>(kColours[static_cast<size_t>(i)], false);
            brush->stock = true;
            made[static_cast<size_t>(i)] = platform::ui::gdi::Register(std::move(brush));
        }
        return made;
    }();
    return static_cast<HBRUSH>(brushes[static_cast<size_t>(index)]);
}

}  // namespace

DWORD GetSysColor(int index) {
    const int i = IndexOf(index);
    return i >= 0 && i < kColourCount ? kColours[static_cast<size_t>(i)] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    const int i = IndexOf(index);
    if (i < 0 || i >= kColourCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return BrushFor(i);
}
