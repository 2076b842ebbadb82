// The system's shared objects: stock brushes, pens and fonts, the system-colour brushes and the
// 1 x 1 monochrome bitmap a fresh memory context holds.
#pragma once

#include "gdi_objects.h"

namespace platform::ui::gdi {

HGDIOBJ StockObject(int index);
HGDIOBJ DefaultBitmap();
HGDIOBJ CaptionFontObject();
text::FontSpec SystemFontSpec();

}  // namespace platform::ui::gdi
