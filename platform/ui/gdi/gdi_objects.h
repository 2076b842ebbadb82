// The GDI objects behind the handles, and the one table that maps handles to them.
#pragma once

#include <platform/ui/surface.h>
#include <windows.h>

#include "../text/font_engine.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::ui::gdi {

enum class Kind { Dc, Bitmap, Brush, Pen, Font, Icon };
enum class PixelFormat { Mono, Colour };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    const Kind kind;
    bool stock = false;  // shared by the system; DeleteObject leaves it
};

// Pixels are one uint32_t each: 0x00RRGGBB for colour, 0 or 1 for monochrome, so one raster
// engine serves both formats.
struct Bitmap : Object {
    Bitmap(int w, int h, PixelFormat f)
        : Object(Kind::Bitmap), width(w), height(h), format(f),
          pixels(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
    int width;
    int height;
    PixelFormat format;
    std::vector<uint32_t> pixels;
    HDC selectedInto = nullptr;  // guarded by the table's lock
};

struct Brush : Object {
    Brush(COLORREF c, bool h) : Object(Kind::Brush), colour(c), hollow(h) {}
    COLORREF colour;
    bool hollow;
};

struct Pen : Object {
    Pen(int s, int w, COLORREF c) : Object(Kind::Pen), style(s), width(w), colour(c) {}
    int style;
    int width;
    COLORREF colour;
};

struct Font : Object {
    explicit Font(text::FontSpec s) : Object(Kind::Font), face(s) {}
    text::FontSpec face;
};

// An icon: colour pixels and an AND mask (all ones where the icon is transparent).
struct Icon : Object {
    Icon(int w, int h)
        : Object(Kind::Icon), width(w), height(h),
          image(static_cast<size_t>(w) * static_cast<size_t>(h), 0),
          mask(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
    int width;
    int height;
    std::vector<uint32_t> image;
    std::vector<uint32_t> mask;
};

struct Dc : Object {
    Dc() : Object(Kind::Dc) {}
    Surface* surface = nullptr;  // set for a surface context, else a memory context
    POINT origin{};              // surface pixel of the context's (0, 0)
    RECT surfaceClip{};          // surface coordinates
    std::optional<RECT> userClip;  // context coordinates, from IntersectClipRect

    std::shared_ptr<Bitmap> bitmap;
    std::shared_ptr<Brush> brush;
    std::shared_ptr<Pen> pen;
    std::shared_ptr<Font> font;
    HGDIOBJ bitmapHandle = nullptr;
    HGDIOBJ brushHandle = nullptr;
    HGDIOBJ penHandle = nullptr;
    HGDIOBJ fontHandle = nullptr;

    COLORREF background = 0x00FFFFFF;
    COLORREF foreground = 0x00000000;
    int backgroundMode = OPAQUE;
};

// --- the handle table: handle values are never reused ---
HGDIOBJ Register(std::shared_ptr<Object> object);
std::shared_ptr<Object> Lookup(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> LookupAs(HGDIOBJ handle, Kind kind) {
    auto object = Lookup(handle);
    if (!object || object->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
}
// Drops the handle; the object lives on while a context still has it selected.
bool Unregister(HGDIOBJ handle);
// Held while bitmap selections move between contexts.
std::mutex& SelectionLock();

std::shared_ptr<Dc> LookupDc(HDC dc);

// A new context with the defaults of a fresh one; the caller selects a bitmap or sets a surface.
std::shared_ptr<Dc> NewDc();
// Gives a context's selections back (bitmap selection is released for other contexts).
void ReleaseSelections(Dc& dc);

}  // namespace platform::ui::gdi
