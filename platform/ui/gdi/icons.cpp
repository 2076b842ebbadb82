// Drawing icons: the destination is ANDed with the mask, then XORed with the image.
#include "gdi_objects.h"
#include "raster.h"

namespace platform::ui::gdi {
namespace {

// Nearest-neighbour sample of an icon plane scaled to width x height.
uint32_t Sample(const Icon& icon, const std::vector<uint32_t>& plane, int x, int y, int width, int height) {
    const int sx = static_cast<int>(static_cast<int64_t>(x) * icon.width / width);
    const int sy = static_cast<int>(static_cast<int64_t>(y) * icon.height / height);
    return plane[static_cast<size_t>(sy) * icon.width + sx];
}

void Compose(const Target& t, const Icon& icon, int x, int y, int width, int height, UINT flags) {
    const RECT r = ToClippedBuffer(t, RECT{x, y, x + width, y + height});
    const bool mono = t.format == PixelFormat::Mono;
    for (int by = r.top; by < r.bottom; ++by) {
        uint32_t* row = t.Row(by);
        for (int bx = r.left; bx < r.right; ++bx) {
            const int ix = bx - t.origin.x - x, iy = by - t.origin.y - y;
            uint32_t mask = Sample(icon, icon.mask, ix, iy, width, height);
            uint32_t image = Sample(icon, icon.image, ix, iy, width, height);
            if (mono) {
                mask = mask ? 1u : 0u;
                image = DeviceValue(PixelFormat::Mono, ColourOfValue(PixelFormat::Colour, image));
            }
            uint32_t value = row[bx];
            if (flags & DI_MASK) value &= mask;
            value = (flags & DI_MASK) ? value : 0u;
            if (flags & DI_IMAGE) value ^= image;
            if ((flags & DI_MASK) || (flags & DI_IMAGE)) row[bx] = value & t.ValueMask();
        }
    }
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;

BOOL DrawIconEx(HDC handle, int x, int y, HICON iconHandle, int width, int height, UINT,
                HBRUSH, UINT flags) {
    auto dc = LookupDc(handle);
    auto icon = LookupAs<Icon>(iconHandle, Kind::Icon);
    if (!dc || !icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width <= 0) width = icon->width;
    if (height <= 0) height = icon->height;
    Compose(TargetOf(*dc), *icon, x, y, width, height, flags & DI_NORMAL);
    return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

BOOL DestroyIcon(HICON icon) {
    if (!LookupAs<Icon>(icon, Kind::Icon)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Unregister(icon);
    return TRUE;
}
