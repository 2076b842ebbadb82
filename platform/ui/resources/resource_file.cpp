// The .res container: a 32-byte empty entry, then per resource a DWORD data size, a DWORD
// header size, type and name, DWORD alignment, data version, memory flags, language, version,
// characteristics, the data and padding to a DWORD.
#include <platform/ui/resources.h>

#include "byte_reader.h"

namespace platform::ui {
namespace {

constexpr size_t kMinimumHeader = 32;

std::string At(size_t offset, const std::string& why) {
    return "malformed resource file: entry at byte " + std::to_string(offset) + ": " + why;
}

}  // namespace

Parsed<ResourceFile> ResourceFile::Parse(std::span<const uint8_t> input) {
    ResourceFile file;
    file.bytes_ = std::make_shared<const std::vector<uint8_t>>(input.begin(), input.end());
    const std::span<const uint8_t> bytes(*file.bytes_);
    if (bytes.size() < kMinimumHeader) {
        return Parsed<ResourceFile>::Fail("not a resource file: " + std::to_string(bytes.size()) +
                                          " bytes, shorter than the 32-byte leading entry");
    }
    size_t offset = 0;
    while (offset < bytes.size()) {
        detail::ByteReader reader(bytes, offset);
        const uint32_t dataSize = reader.U32("the data size");
        const uint32_t headerSize = reader.U32("the header size");
        if (reader.Failed()) return Parsed<ResourceFile>::Fail(At(offset, reader.Error()));
        if (headerSize < 24 || headerSize > bytes.size() - offset) {
            return Parsed<ResourceFile>::Fail(
                At(offset, "header size " + std::to_string(headerSize) + " does not fit"));
        }
        detail::ByteReader header(bytes.first(offset + headerSize), offset + 8);
        ResourceEntry entry;
        entry.type = header.Id("the resource type");
        entry.name = header.Id("the resource name");
        header.AlignTo4();
        header.U32("the data version");
        header.U16("the memory flags");
        entry.language = header.U16("the language");
        header.U32("the version");
        header.U32("the characteristics");
        if (header.Failed()) return Parsed<ResourceFile>::Fail(At(offset, header.Error()));
        const size_t dataStart = offset + headerSize;
        if (dataSize > bytes.size() - dataStart) {
            return Parsed<ResourceFile>::Fail(
                At(offset, "data of " + std::to_string(dataSize) + " bytes runs past the end (" +
                               std::to_string(bytes.size() - dataStart) + " left)"));
        }
        entry.data = bytes.subspan(dataStart, dataSize);
        const bool leadingEmpty = offset == 0 && dataSize == 0;
        if (!leadingEmpty) file.entries_.push_back(entry);
        offset = std::min(bytes.size(), (dataStart + dataSize + 3) & ~size_t{3});
    }
    return Parsed<ResourceFile>{std::move(file), {}};
}

const ResourceEntry* ResourceFile::Find(const ResourceId& type, const ResourceId& name) const {
    for (const auto& entry : entries_) {
        if (entry.type == type && entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace platform::ui
