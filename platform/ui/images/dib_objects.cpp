// Bitmaps and icons made from DIBs.
#include <platform/ui/images.h>

#include "../gdi/gdi_objects.h"
#include "dib_reader.h"

namespace platform::ui {
namespace {

using gdi::PixelFormat;

bool IsBlackAndWhitePalette(const images::DibPicture& pic) {
    return pic.bitsPerPixel == 1 && pic.palette.size() == 2 && pic.palette[0] == 0 &&
           pic.palette[1] == 0x00FFFFFF;
}

}  // namespace

HBITMAP CreateBitmapFromDib(const BYTE* data, size_t size) {
    const auto pic = images::ReadDib(data, size, 1);
    if (!pic) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const bool mono = IsBlackAndWhitePalette(*pic);
    auto bitmap = std::make_shared<gdi::Bitmap>(pic->width, pic->height,
                                                mono ? PixelFormat::Mono : PixelFormat::Colour);
    if (mono)
        bitmap->pixels.assign(pic->indices.begin(), pic->indices.end());
    else
        bitmap->pixels = pic->pixels;
    return static_cast<HBITMAP>(gdi::Register(std::move(bitmap)));
}

HICON CreateIconFromImage(const BYTE* data, size_t size) {
    const auto pic = images::ReadDib(data, size, 2);
    const auto mask = pic ? images::ReadMask(data, size, pic->bitsEnd, pic->width, pic->height)
                          : std::nullopt;
    if (!pic || !mask) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto icon = std::make_shared<gdi::Icon>(pic->width, pic->height);
    icon->image = pic->pixels;
    for (size_t i = 0; i < mask->size(); ++i) icon->mask[i] = (*mask)[i] ? 0x00FFFFFFu : 0u;
    return static_cast<HICON>(gdi::Register(std::move(icon)));
}

SIZE GetIconSize(HICON handle) {
    auto icon = gdi::LookupAs<gdi::Icon>(handle, gdi::Kind::Icon);
    return icon ? SIZE{icon->width, icon->height} : SIZE{0, 0};
}

}  // namespace platform::ui
