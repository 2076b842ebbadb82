#include "logo_drawing.h"

#include <ui_framework/application.h>

#include "../resources/resource.h"

namespace {

constexpr DWORD ROP_SOURCE_COPY = 0x00CC0020;
constexpr DWORD ROP_DEST_AND_NOT_SOURCE = 0x00220326;
constexpr DWORD ROP_SOURCE_AND = 0x008800C6;
constexpr DWORD ROP_SOURCE_XOR = 0x00660046;

}  // namespace

void DrawLogoMasked(HDC target, int x, int y, COLORREF transparent) {
    HBITMAP logo = LoadBitmap(ui::Application::Current()->Instance(), MAKEINTRESOURCE(IDB_LOGO));
    BITMAP info{};
    GetObject(logo, sizeof info, &info);
    const int w = info.bmWidth;
    const int h = info.bmHeight;

    HDC imageDc = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(imageDc, logo);

    HDC maskDc = CreateCompatibleDC(target);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    // Colour to monochrome: white exactly where the image has its background colour.
    SetBkColor(imageDc, transparent);
    BitBlt(maskDc, 0, 0, w, h, imageDc, 0, 0, ROP_SOURCE_COPY);

    HDC cutOutDc = CreateCompatibleDC(target);
    HBITMAP cutOut = CreateCompatibleBitmap(imageDc, w, h);
    HGDIOBJ oldCutOut = SelectObject(cutOutDc, cutOut);
    BitBlt(cutOutDc, 0, 0, w, h, imageDc, 0, 0, ROP_SOURCE_COPY);
    // The transparent pixels of the cut-out become black; the picture's stay.
    BitBlt(cutOutDc, 0, 0, w, h, maskDc, 0, 0, ROP_DEST_AND_NOT_SOURCE);

    HDC backgroundDc = CreateCompatibleDC(target);
    HBITMAP background = CreateCompatibleBitmap(imageDc, w, h);
    HGDIOBJ oldBackground = SelectObject(backgroundDc, background);
    BitBlt(backgroundDc, 0, 0, w, h, target, x, y, ROP_SOURCE_COPY);
    // Black holes where the picture goes, then the picture XORed into them.
    BitBlt(backgroundDc, 0, 0, w, h, maskDc, 0, 0, ROP_SOURCE_AND);
    BitBlt(backgroundDc, 0, 0, w, h, cutOutDc, 0, 0, ROP_SOURCE_XOR);
    BitBlt(target, x, y, w, h, backgroundDc, 0, 0, ROP_SOURCE_COPY);

    SelectObject(maskDc, oldMask);
    SelectObject(cutOutDc, oldCutOut);
    SelectObject(backgroundDc, oldBackground);
    SelectObject(imageDc, oldImage);
    DeleteObject(background);
    DeleteDC(backgroundDc);
    DeleteObject(cutOut);
    DeleteDC(cutOutDc);
    DeleteObject(mask);
    DeleteDC(maskDc);
    DeleteDC(imageDc);
    DeleteObject(logo);
}
