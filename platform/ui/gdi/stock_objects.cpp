#include "stock_objects.h"

#include <platform/ui/paint.h>

#include <array>

namespace platform::ui::gdi {
namespace {

template <class T, class... Args>
HGDIOBJ MakeStock(Args... args) {
    auto object = std::make_shared<T>(args...);
    object->stock = true;
    return Register(std::move(object));
}

struct StockSet {
    std::array<HGDIOBJ, 18> objects{};
    HGDIOBJ defaultBitmap = nullptr;
    HGDIOBJ captionFont = nullptr;

    StockSet() {
        objects[WHITE_BRUSH] = MakeStock<Brush>(RGB(255, 255, 255), false);
        objects[LTGRAY_BRUSH] = MakeStock<Brush>(RGB(192, 192, 192), false);
        objects[GRAY_BRUSH] = MakeStock<Brush>(RGB(128, 128, 128), false);
        objects[DKGRAY_BRUSH] = MakeStock<Brush>(RGB(64, 64, 64), false);
        objects[BLACK_BRUSH] = MakeStock<Brush>(RGB(0, 0, 0), false);
        objects[NULL_BRUSH] = MakeStock<Brush>(RGB(0, 0, 0), true);
        objects[WHITE_PEN] = MakeStock<Pen>(PS_SOLID, 1, RGB(255, 255, 255));
        objects[BLACK_PEN] = MakeStock<Pen>(PS_SOLID, 1, RGB(0, 0, 0));
        objects[NULL_PEN] = MakeStock<Pen>(PS_NULL, 1, RGB(0, 0, 0));
        objects[SYSTEM_FONT] = MakeStock<Font>(SystemFontSpec());
        objects[DEFAULT_GUI_FONT] = objects[SYSTEM_FONT];
        defaultBitmap = MakeStock<Bitmap>(1, 1, PixelFormat::Mono);
        captionFont = MakeStock<Font>(text::FontSpec{11, text::Weight::Bold, false});
    }
};

StockSet& Stock() {
    static StockSet set;
    return set;
}

}  // namespace

HGDIOBJ StockObject(int index) {
    if (index < 0 || index >= static_cast<int>(Stock().objects.size())) return nullptr;
    return Stock().objects[static_cast<size_t>(index)];
}

HGDIOBJ DefaultBitmap() { return Stock().defaultBitmap; }

text::FontSpec SystemFontSpec() { return text::FontSpec{11, text::Weight::Regular, false}; }

HGDIOBJ CaptionFontObject() { return Stock().captionFont; }

}  // namespace platform::ui::gdi

namespace platform::ui {
HFONT DialogFont() { return static_cast<HFONT>(gdi::StockObject(SYSTEM_FONT)); }
HFONT CaptionFont() { return static_cast<HFONT>(gdi::CaptionFontObject()); }
}  // namespace platform::ui

HGDIOBJ GetStockObject(int object) {
    HGDIOBJ handle = platform::ui::gdi::StockObject(object);
    if (!handle) SetLastError(ERROR_INVALID_PARAMETER);
    return handle;
}
