// Device contexts, selection and the context's colours, mode and clip.
#include "gdi_objects.h"
#include "raster.h"
#include "stock_objects.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::ui::gdi {

std::shared_ptr<Dc> NewDc() {
    auto dc = std::make_shared<Dc>();
    dc->bitmapHandle = DefaultBitmap();
    dc->bitmap = LookupAs<Bitmap>(dc->bitmapHandle, Kind::Bitmap);
    dc->brushHandle = StockObject(WHITE_BRUSH);
    dc->brush = LookupAs<Brush>(dc->brushHandle, Kind::Brush);
    dc->penHandle = StockObject(BLACK_PEN);
    dc->pen = LookupAs<Pen>(dc->penHandle, Kind::Pen);
    dc->fontHandle = StockObject(SYSTEM_FONT);
    dc->font = LookupAs<Font>(dc->fontHandle, Kind::Font);
    return dc;
}

namespace {

template <class T>
HGDIOBJ Swap(std::shared_ptr<T>& slot, HGDIOBJ& slotHandle, std::shared_ptr<T> object,
             HGDIOBJ handle) {
    HGDIOBJ previous = slotHandle;
    slot = std::move(object);
    slotHandle = handle;
    return previous;
}

// A bitmap lives in at most one context at a time (the shared 1 x 1 default excepted).
HGDIOBJ SelectBitmap(HDC handle, Dc& dc, std::shared_ptr<Bitmap> bitmap, HGDIOBJ bitmapHandle) {
    std::lock_guard lock(SelectionLock());
    if (dc.surface || (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != handle)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dc.bitmap && !dc.bitmap->stock) dc.bitmap->selectedInto = nullptr;
    if (!bitmap->stock) bitmap->selectedInto = handle;
    return Swap(dc.bitmap, dc.bitmapHandle, std::move(bitmap), bitmapHandle);
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !LookupDc(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<HDC>(Register(NewDc()));
}

BOOL DeleteDC(HDC handle) {
    auto dc = LookupDc(handle);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ReleaseSelections(*dc);
    Unregister(handle);
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    auto dc = LookupDc(handle);
    auto target = Lookup(object);
    if (!dc || !target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (target->kind) {
    case Kind::Bitmap:
        return SelectBitmap(handle, *dc, std::static_pointer_cast<Bitmap>(target), object);
    case Kind::Brush:
        return Swap(dc->brush, dc->brushHandle, std::static_pointer_cast<Brush>(target), object);
    case Kind::Pen:
        return Swap(dc->pen, dc->penHandle, std::static_pointer_cast<Pen>(target), object);
    case Kind::Font:
        return Swap(dc->font, dc->fontHandle, std::static_pointer_cast<Font>(target), object);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    auto target = Lookup(object);
    if (!target || target->kind == Kind::Dc || target->kind == Kind::Icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (target->stock) return TRUE;
    // A selected object stays alive in its context until deselected; its handle dies now.
    Unregister(object);
    return TRUE;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT kind) {
    auto dc = LookupDc(handle);
    if (!dc) return nullptr;
    switch (kind) {
    case OBJ_BITMAP: return dc->bitmapHandle;
    case OBJ_BRUSH: return dc->brushHandle;
    case OBJ_PEN: return dc->penHandle;
    case OBJ_FONT: return dc->fontHandle;
    default: return nullptr;
    }
}

DWORD GetObjectType(HGDIOBJ object) {
    auto target = Lookup(object);
    if (!target) return 0;
    switch (target->kind) {
    case Kind::Dc: return std::static_pointer_cast<Dc>(target)->surface ? OBJ_DC : OBJ_MEMDC;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Pen: return OBJ_PEN;
    case Kind::Font: return OBJ_FONT;
    default: return 0;
    }
}

int GetObject(HGDIOBJ object, int size, LPVOID buffer) {
    auto target = Lookup(object);
    if (!target || size < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (target->kind == Kind::Bitmap) {
        const auto& bitmap = static_cast<const Bitmap&>(*target);
        const bool mono = bitmap.format == PixelFormat::Mono;
        BITMAP info{};
        info.bmWidth = bitmap.width;
        info.bmHeight = bitmap.height;
        info.bmWidthBytes = mono ? (bitmap.width + 15) / 16 * 2 : bitmap.width * 4;
        info.bmPlanes = 1;
        info.bmBitsPixel = mono ? 1 : 32;
        if (!buffer) return sizeof(BITMAP);
        const int copied = std::min<int>(size, sizeof(BITMAP));
        std::memcpy(buffer, &info, static_cast<size_t>(copied));
        return copied;
    }
    if (target->kind == Kind::Font) {
        const auto& face = static_cast<const Font&>(*target).face;
        LOGFONTW info{};
        info.lfHeight = -face.em;
        info.lfWeight = face.weight == platform::ui::text::Weight::Bold ? FW_BOLD : FW_NORMAL;
        info.lfUnderline = face.underline ? 1 : 0;
        const char16_t faceName[] = u"Liberation Sans";
        std::memcpy(info.lfFaceName, faceName, sizeof faceName);
        if (!buffer) return sizeof(LOGFONTW);
        const int copied = std::min<int>(size, sizeof(LOGFONTW));
        std::memcpy(buffer, &info, static_cast<size_t>(copied));
        return copied;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
    auto dc = LookupDc(handle);
    if (!dc) return CLR_INVALID;
    return std::exchange(dc->background, colour & 0x00FFFFFF);
}

COLORREF GetBkColor(HDC handle) {
    auto dc = LookupDc(handle);
    return dc ? dc->background : CLR_INVALID;
}

COLORREF SetTextColor(HDC handle, COLORREF colour) {
    auto dc = LookupDc(handle);
    if (!dc) return CLR_INVALID;
    return std::exchange(dc->foreground, colour & 0x00FFFFFF);
}

COLORREF GetTextColor(HDC handle) {
    auto dc = LookupDc(handle);
    return dc ? dc->foreground : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode) {
    auto dc = LookupDc(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(dc->backgroundMode, mode);
}

int GetBkMode(HDC handle) {
    auto dc = LookupDc(handle);
    return dc ? dc->backgroundMode : 0;
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
    auto dc = LookupDc(handle);
    if (!dc) return ERROR;
    RECT added{left, top, right, bottom};
    dc->userClip = dc->userClip ? Intersect(*dc->userClip, added) : added;
    RECT box;
    return GetClipBox(handle, &box);
}

int GetClipBox(HDC handle, LPRECT rect) {
    auto dc = LookupDc(handle);
    if (!dc || !rect) return ERROR;
    const Target t = TargetOf(*dc);
    *rect = RECT{t.clip.left - t.origin.x, t.clip.top - t.origin.y, t.clip.right - t.origin.x,
                 t.clip.bottom - t.origin.y};
    return IsEmpty(t.clip) ? NULLREGION : SIMPLEREGION;
}

COLORREF GetPixel(HDC handle, int x, int y) {
    auto dc = LookupDc(handle);
    if (!dc) return CLR_INVALID;
    const Target t = TargetOf(*dc);
    const int bx = x + t.origin.x, by = y + t.origin.y;
    if (bx < t.clip.left || bx >= t.clip.right || by < t.clip.top || by >= t.clip.bottom)
        return CLR_INVALID;
    return ColourOfValue(t.format, t.Row(by)[bx]);
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour) {
    auto dc = LookupDc(handle);
    if (!dc) return CLR_INVALID;
    const Target t = TargetOf(*dc);
    const int bx = x + t.origin.x, by = y + t.origin.y;
    if (bx < t.clip.left || bx >= t.clip.right || by < t.clip.top || by >= t.clip.bottom)
        return CLR_INVALID;
    t.Row(by)[bx] = DeviceValue(t.format, colour);
    return ColourOfValue(t.format, t.Row(by)[bx]);
}

namespace platform::ui {

HDC CreateSurfaceDC(Surface& surface, POINT origin, RECT clip) {
    auto dc = NewDc();
    dc->surface = &surface;
    dc->origin = origin;
    dc->surfaceClip = clip;
    return static_cast<HDC>(Register(std::move(dc)));
}

BOOL ReleaseSurfaceDC(HDC dc) { return DeleteDC(dc); }

BOOL SetSurfaceDCClip(HDC handle, RECT clip) {
    auto dc = LookupDc(handle);
    if (!dc || !dc->surface) return FALSE;
    dc->surfaceClip = clip;
    return TRUE;
}

}  // namespace platform::ui
