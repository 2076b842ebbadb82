// BitBlt and PatBlt: a ternary raster operation over rows, with the source first brought into
// the destination's format.
#include "gdi_objects.h"
#include "raster.h"

#include <algorithm>
#include <vector>

namespace platform::ui::gdi {
namespace {

// The solid pattern of the context's brush in its format; a hollow brush paints nothing
// useful, so it reads as black as GDI's null pattern does.
uint32_t PatternValue(const Dc& dc, const Target& target) {
    if (!dc.brush || dc.brush->hollow) return 0;
    return DeviceValue(target.format, dc.brush->colour);
}

// Source row to destination format. Colour to monochrome: 1 exactly where the pixel equals the
// source context's background colour. Monochrome to colour: 1 becomes the destination's
// background colour, 0 its text colour.
void ConvertRow(const uint32_t* source, uint32_t* out, int count, PixelFormat from, PixelFormat to,
                uint32_t sourceBackground, uint32_t destBackground, uint32_t destForeground) {
    if (from == to) {
        std::copy(source, source + count, out);
    } else if (to == PixelFormat::Mono) {
        for (int i = 0; i < count; ++i) out[i] = source[i] == sourceBackground ? 1u : 0u;
    } else {
        for (int i = 0; i < count; ++i) out[i] = source[i] ? destBackground : destForeground;
    }
}

struct Transfer {
    RECT dest;     // buffer coordinates of the destination, clipped
    POINT source;  // buffer coordinates of the source pixel for dest's top-left
};

// Clips the destination rectangle to the destination's clip and to the source's buffer, moving
// the source corner with it.
Transfer ClipTransfer(const Target& dest, const Target& source, int x, int y, int width, int height,
                      int sourceX, int sourceY) {
    RECT d{x + dest.origin.x, y + dest.origin.y, x + dest.origin.x + width, y + dest.origin.y + height};
    const int shiftX = sourceX + source.origin.x - d.left;
    const int shiftY = sourceY + source.origin.y - d.top;
    const RECT sourceBounds{source.clip.left - shiftX, source.clip.top - shiftY,
                            source.clip.right - shiftX, source.clip.bottom - shiftY};
    d = Intersect(Intersect(d, dest.clip), sourceBounds);
    return Transfer{d, POINT{d.left + shiftX, d.top + shiftY}};
}

}  // namespace
}  // namespace platform::ui::gdi

using namespace platform::ui::gdi;

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop) {
    auto dc = LookupDc(handle);
    const uint8_t index = RopIndex(rop);
    if (!dc || RopUsesSource(index)) {
        SetLastError(dc ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const Target target = TargetOf(*dc);
    RECT r{x, y, x + width, y + height};
    if (width < 0) std::swap(r.left, r.right);
    if (height < 0) std::swap(r.top, r.bottom);
    PatternFill(target, r, PatternValue(*dc, target), index);
    return TRUE;
}

BOOL BitBlt(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
            int sourceY, DWORD rop) {
    const uint8_t index = RopIndex(rop);
    if (!RopUsesSource(index)) return PatBlt(destHandle, x, y, width, height, rop);
    auto destDc = LookupDc(destHandle);
    auto sourceDc = LookupDc(sourceHandle);
    if (!destDc || !sourceDc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width <= 0 || height <= 0) return TRUE;
    const Target dest = TargetOf(*destDc);
    Target source = TargetOf(*sourceDc);
    source.clip = RECT{0, 0, source.width, source.height};  // reading ignores the source's clip
    const Transfer t = ClipTransfer(dest, source, x, y, width, height, sourceX, sourceY);
    if (IsEmpty(t.dest)) return TRUE;

    const int count = t.dest.right - t.dest.left;
    const uint32_t pattern = PatternValue(*destDc, dest);
    const uint32_t sourceBackground = DeviceValue(source.format, sourceDc->background);
    const uint32_t destBackground = DeviceValue(dest.format, destDc->background);
    const uint32_t destForeground = DeviceValue(dest.format, destDc->foreground);
    std::vector<uint32_t> row(static_cast<size_t>(count));
    // Within one buffer, moving down reads rows before they are overwritten only bottom-up.
    const bool bottomUp = source.pixels == dest.pixels && t.source.y < t.dest.top;
    const int rows = t.dest.bottom - t.dest.top;
    for (int i = 0; i < rows; ++i) {
        const int r = bottomUp ? rows - 1 - i : i;
        ConvertRow(source.Row(t.source.y + r) + t.source.x, row.data(), count, source.format,
                   dest.format, sourceBackground, destBackground, destForeground);
        ApplyRopRow(index, pattern, row.data(), dest.Row(t.dest.top + r) + t.dest.left, count,
                    dest.ValueMask());
    }
    return TRUE;
}
