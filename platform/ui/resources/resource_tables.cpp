// The small resource records: accelerator tables, icon groups, DIB headers, string blocks.
#include <platform/ui/resources.h>

#include "byte_reader.h"

namespace platform::ui {
namespace {

constexpr uint16_t kLastAccelerator = 0x80;
constexpr size_t kAcceleratorSize = 8;
constexpr uint32_t kInfoHeaderMinimum = 12;

template <class T>
Parsed<T> Fail(const char* what, const detail::ByteReader& in) {
    return Parsed<T>::Fail(std::string("malformed ") + what + ": " + in.Error());
}

}  // namespace

Parsed<std::vector<AcceleratorEntry>> ParseAccelerators(std::span<const uint8_t> data) {
    using Result = Parsed<std::vector<AcceleratorEntry>>;
    if (data.empty() || data.size() % kAcceleratorSize != 0) {
        return Result::Fail("malformed accelerator table: " + std::to_string(data.size()) +
                            " bytes is not a whole number of 8-byte entries");
    }
    detail::ByteReader in(data);
    std::vector<AcceleratorEntry> entries;
    while (in.Remaining() > 0) {
        AcceleratorEntry entry;
        entry.flags = in.U16("an accelerator's flags");
        entry.key = in.U16("an accelerator's key");
        entry.command = in.U16("an accelerator's command");
        in.U16("an accelerator's padding");
        entries.push_back(entry);
        if (entry.flags & kLastAccelerator) break;
    }
    return Result{std::move(entries), {}};
}

Parsed<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const uint8_t> data) {
    using Result = Parsed<std::vector<IconGroupEntry>>;
    detail::ByteReader in(data);
    const uint16_t reserved = in.U16("the icon group header");
    const uint16_t type = in.U16("the icon group header");
    const uint16_t count = in.U16("the icon group's image count");
    if (in.Failed()) return Fail<std::vector<IconGroupEntry>>("icon group", in);
    if (reserved != 0 || type != 1) {
        return Result::Fail("malformed icon group: header is not an icon directory");
    }
    std::vector<IconGroupEntry> entries;
    for (uint16_t i = 0; i < count; ++i) {
        IconGroupEntry entry;
        entry.width = in.U8("an icon image's width");
        entry.height = in.U8("an icon image's height");
        entry.colourCount = in.U8("an icon image's colour count");
        in.U8("an icon image's reserved byte");
        entry.planes = in.U16("an icon image's planes");
        entry.bitCount = in.U16("an icon image's bit count");
        entry.bytes = in.U32("an icon image's size");
        entry.imageId = in.U16("an icon image's id");
        entries.push_back(entry);
    }
    if (in.Failed()) return Fail<std::vector<IconGroupEntry>>("icon group", in);
    return Result{std::move(entries), {}};
}

Parsed<DibInfo> ReadDibInfo(std::span<const uint8_t> data) {
    detail::ByteReader in(data);
    const uint32_t headerSize = in.U32("the bitmap header size");
    DibInfo info;
    if (headerSize == kInfoHeaderMinimum) {
        info.width = in.U16("the bitmap width");
        info.height = in.I16("the bitmap height");
        in.U16("the bitmap planes");
        info.bitCount = in.U16("the bitmap bit count");
    } else {
        info.width = static_cast<int32_t>(in.U32("the bitmap width"));
        info.height = static_cast<int32_t>(in.U32("the bitmap height"));
        in.U16("the bitmap planes");
        info.bitCount = in.U16("the bitmap bit count");
        in.U32("the bitmap compression");
        in.U32("the bitmap image size");
        in.U32("the bitmap resolution");
        in.U32("the bitmap resolution");
        info.paletteColours = in.U32("the bitmap palette size");
    }
    if (in.Failed()) return Fail<DibInfo>("bitmap", in);
    if (headerSize < kInfoHeaderMinimum || headerSize > data.size() || info.width <= 0 ||
        info.height == 0) {
        return Parsed<DibInfo>::Fail("malformed bitmap: header size " +
                                     std::to_string(headerSize) + ", " +
                                     std::to_string(info.width) + " x " +
                                     std::to_string(info.height));
    }
    if (info.paletteColours == 0 && info.bitCount <= 8) info.paletteColours = 1u << info.bitCount;
    return Parsed<DibInfo>{info, {}};
}

Parsed<std::u16string> FindString(const ResourceFile& file, UINT id) {
    const auto block = static_cast<uint16_t>(id / 16 + 1);
    const ResourceEntry* entry = file.Find(ResourceId::Of(kTypeString), ResourceId::Of(block));
    if (!entry) return Parsed<std::u16string>::Fail("no string " + std::to_string(id));
    detail::ByteReader in(entry->data);
    for (UINT index = 0; index < id % 16; ++index) {
        const uint16_t length = in.U16("a string's length");
        in.Skip(size_t{length} * 2, "a string's text");
    }
    const uint16_t length = in.U16("a string's length");
    auto bytes = in.Bytes(size_t{length} * 2, "a string's text");
    if (in.Failed()) return Fail<std::u16string>("string table", in);
    if (length == 0) return Parsed<std::u16string>::Fail("no string " + std::to_string(id));
    std::u16string text;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return Parsed<std::u16string>{std::move(text), {}};
}

}  // namespace platform::ui
