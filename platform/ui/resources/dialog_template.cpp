// DLGTEMPLATE and DLGTEMPLATEEX as the dialog manager reads them: header, menu, class, title,
// the font block when DS_SETFONT is set, then each item DWORD-aligned.
#include <platform/ui/resources.h>

#include "byte_reader.h"

namespace platform::ui {
namespace {

constexpr DWORD kSetFont = 0x40;  // DS_SETFONT
constexpr uint16_t kExtendedSignature = 0xFFFF;

std::u16string PredefinedClass(uint16_t ordinal) {
    switch (ordinal) {
        case 0x80: return u"Button";
        case 0x81: return u"Edit";
        case 0x82: return u"Static";
        case 0x83: return u"ListBox";
        case 0x84: return u"ScrollBar";
        case 0x85: return u"ComboBox";
        default: return {};
    }
}

void ReadHeader(detail::ByteReader& in, DialogTemplate& dialog, uint16_t& count) {
    if (dialog.extended) {
        in.U16("the extended signature");
        in.U16("the extended signature");
        dialog.helpId = in.U32("the help id");
        dialog.exStyle = in.U32("the extended style");
        dialog.style = in.U32("the style");
    } else {
        dialog.style = in.U32("the style");
        dialog.exStyle = in.U32("the extended style");
    }
    count = in.U16("the item count");
    dialog.x = in.I16("the dialog rectangle");
    dialog.y = in.I16("the dialog rectangle");
    dialog.cx = in.I16("the dialog rectangle");
    dialog.cy = in.I16("the dialog rectangle");
    dialog.menu = in.Id("the menu");
    dialog.windowClass = in.Id("the window class");
    dialog.title = in.String("the title");
}

void ReadFont(detail::ByteReader& in, DialogTemplate& dialog) {
    if ((dialog.style & kSetFont) == 0) return;
    dialog.hasFont = true;
    dialog.pointSize = in.U16("the font size");
    if (dialog.extended) {
        dialog.weight = in.U16("the font weight");
        dialog.italic = in.U8("the font italic flag");
        dialog.charset = in.U8("the font character set");
    }
    dialog.faceName = in.String("the font face name");
}

DialogItemTemplate ReadItem(detail::ByteReader& in, bool extended) {
    DialogItemTemplate item;
    if (extended) {
        item.helpId = in.U32("an item's help id");
        item.exStyle = in.U32("an item's extended style");
        item.style = in.U32("an item's style");
    } else {
        item.style = in.U32("an item's style");
        item.exStyle = in.U32("an item's extended style");
    }
    item.x = in.I16("an item's rectangle");
    item.y = in.I16("an item's rectangle");
    item.cx = in.I16("an item's rectangle");
    item.cy = in.I16("an item's rectangle");
    item.id = extended ? in.U32("an item's id") : in.U16("an item's id");
    const ResourceId itemClass = in.Id("an item's class");
    item.className = itemClass.IsOrdinal() ? PredefinedClass(itemClass.ordinal) : itemClass.name;
    item.text = in.Id("an item's text");
    const uint16_t extra = in.U16("an item's creation data size");
    auto bytes = in.Bytes(extra, "an item's creation data");
    item.creationData.assign(bytes.begin(), bytes.end());
    return item;
}

}  // namespace

Parsed<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> data) {
    detail::ByteReader in(data);
    DialogTemplate dialog;
    dialog.extended = data.size() >= 4 && data[0] == 1 && data[1] == 0 &&
                      (data[2] | (data[3] << 8)) == kExtendedSignature;
    uint16_t count = 0;
    ReadHeader(in, dialog, count);
    ReadFont(in, dialog);
    for (uint16_t i = 0; i < count && !in.Failed(); ++i) {
        in.AlignTo4();
        auto item = ReadItem(in, dialog.extended);
        if (item.className.empty() && !in.Failed()) {
            return Parsed<DialogTemplate>::Fail("malformed dialog template: item " +
                                                std::to_string(i) + " has an unknown class");
        }
        dialog.items.push_back(std::move(item));
    }
    if (in.Failed()) {
        return Parsed<DialogTemplate>::Fail("malformed dialog template: " + in.Error());
    }
    return Parsed<DialogTemplate>{std::move(dialog), {}};
}

}  // namespace platform::ui
