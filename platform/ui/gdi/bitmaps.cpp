// Bitmap creation and the host's read-back of a bitmap's pixels.
#include "gdi_objects.h"
#include "raster.h"

namespace platform::ui::gdi {
namespace {

// Large enough for any screen-sized picture, small enough that width * height * 4 never
// overflows.
constexpr int kMaxBitmapSide = 16384;

bool ValidSize(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide;
}

void LoadMonoBits(Bitmap& bitmap, const BYTE* bits) {
    const int rowBytes = (bitmap.width + 15) / 16 * 2;
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x] =
                (bits[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
}

void LoadColourBits(Bitmap& bitmap, const BYTE* bits) {
    for (size_t i = 0; i < bitmap.pixels.size(); ++i)
        bitmap.pixels[i] = bits[i * 4] | (bits[i * 4 + 1] << 8) | (bits[i * 4 + 2] << 16);
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    const bool mono = planes == 1 && bitsPerPixel == 1;
    if (!ValidSize(width, height) || planes != 1 || (bits && !mono && bitsPerPixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = std::make_shared<Bitmap>(width, height, mono ? PixelFormat::Mono : PixelFormat::Colour);
    if (bits && mono) LoadMonoBits(*bitmap, static_cast<const BYTE*>(bits));
    if (bits && !mono) LoadColourBits(*bitmap, static_cast<const BYTE*>(bits));
    return static_cast<HBITMAP>(Register(std::move(bitmap)));
}

// Compatible with a memory context means the format of the bitmap it holds: a fresh memory
// context holds a monochrome bitmap, so its compatible bitmaps are monochrome, as in GDI.
HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
    auto dc = LookupDc(handle);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!ValidSize(width, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const PixelFormat format = TargetOf(*dc).format;
    return static_cast<HBITMAP>(Register(std::make_shared<Bitmap>(width, height, format)));
}

namespace platform::ui {

Surface SurfaceFromBitmap(HBITMAP handle) {
    auto bitmap = LookupAs<Bitmap>(handle, Kind::Bitmap);
    if (!bitmap) return {};
    Surface surface(bitmap->width, bitmap->height);
    for (size_t i = 0; i < surface.pixels.size(); ++i) {
        const uint32_t v = bitmap->pixels[i];
        surface.pixels[i] = bitmap->format == PixelFormat::Mono ? (v ? 0x00FFFFFFu : 0u) : v;
    }
    return surface;
}

}  // namespace platform::ui
