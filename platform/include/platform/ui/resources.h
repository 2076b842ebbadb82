// The program's compiled resources (.res as the resource compiler writes it), parsed the way
// the dialog manager reads them. Every read is bounds-checked: a truncated or malformed file is
// refused with a message naming what is wrong and where.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "../../windef.h"

namespace platform::ui {

// A parse outcome: a value, or the reason there is none.
template <class T>
struct Parsed {
    std::optional<T> value;
    std::string error;
    explicit operator bool() const { return value.has_value(); }
    static Parsed Fail(std::string why) { return Parsed{std::nullopt, std::move(why)}; }
};

// A resource type or name: an ordinal (0xFFFF-prefixed in the file) or a string.
struct ResourceId {
    uint16_t ordinal = 0;
    std::u16string name;
    bool IsOrdinal() const { return name.empty(); }
    static ResourceId Of(uint16_t value) { return ResourceId{value, {}}; }
    static ResourceId Named(std::u16string text) { return ResourceId{0, std::move(text)}; }
    bool operator==(const ResourceId&) const = default;
};

enum ResourceType : uint16_t {
    kTypeIcon = 3,
    kTypeBitmap = 2,
    kTypeDialog = 5,
    kTypeString = 6,
    kTypeAccelerator = 9,
    kTypeGroupIcon = 14,
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    std::span<const uint8_t> data;
};

class ResourceFile {
public:
    // Copies the bytes; entries point into the copy.
    static Parsed<ResourceFile> Parse(std::span<const uint8_t> bytes);

    const std::vector<ResourceEntry>& Entries() const { return entries_; }
    const ResourceEntry* Find(const ResourceId& type, const ResourceId& name) const;

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    std::vector<ResourceEntry> entries_;
};

struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    // Predefined classes (0xFFFF + 0x80..0x85) come back by their names ("Button", "Static",
    // "ComboBox", ...); named classes as written (the resource compiler upper-cases them).
    std::u16string className;
    ResourceId text;
    std::vector<uint8_t> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    ResourceId menu;
    ResourceId windowClass;
    std::u16string title;
    bool hasFont = false;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::u16string faceName;
    std::vector<DialogItemTemplate> items;
};

Parsed<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> data);

struct AcceleratorEntry {
    uint16_t flags = 0;
    uint16_t key = 0;
    uint16_t command = 0;
};
Parsed<std::vector<AcceleratorEntry>> ParseAccelerators(std::span<const uint8_t> data);

struct IconGroupEntry {
    uint8_t width = 0, height = 0, colourCount = 0;
    uint16_t planes = 0, bitCount = 0;
    uint32_t bytes = 0;
    uint16_t imageId = 0;
};
Parsed<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const uint8_t> data);

// The header facts of a DIB (a bitmap resource, or one icon image with its doubled height).
struct DibInfo {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t paletteColours = 0;
};
Parsed<DibInfo> ReadDibInfo(std::span<const uint8_t> data);

// String-table lookup: the 16-string block id / 16 + 1, entry id % 16. An empty entry and a
// missing one are both "no string", as LoadString sees them.
Parsed<std::u16string> FindString(const ResourceFile& file, UINT id);

// The resources of each loaded module, by its instance handle. A program's embedded .res is
// registered before main runs (tandel_resources); tests may register their own bytes.
Parsed<bool> RegisterModuleResources(HINSTANCE module, std::span<const uint8_t> bytes);
void UnregisterModuleResources(HINSTANCE module);
std::shared_ptr<const ResourceFile> ModuleResources(HINSTANCE module);
// The running program's own instance (its resources are the ones dialogs load by default).
HINSTANCE ProgramInstance();

}  // namespace platform::ui
