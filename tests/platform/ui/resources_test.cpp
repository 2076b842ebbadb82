// The test resource script, compiled by the resource compiler in the build, read back through
// the parser and the CE resource functions.
#include <platform/ui/images.h>
#include <platform/ui/resources.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using namespace platform::ui;

std::vector<uint8_t> SampleBytes() {
    std::ifstream in(SAMPLE_RES, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::shared_ptr<const ResourceFile> Program() { return ModuleResources(GetModuleHandle(nullptr)); }

DialogTemplate Template(uint16_t id) {
    const ResourceEntry* entry = Program()->Find(ResourceId::Of(kTypeDialog), ResourceId::Of(id));
    EXPECT_NE(entry, nullptr) << "dialog " << id;
    if (!entry) return {};
    auto parsed = ParseDialogTemplate(entry->data);
    EXPECT_TRUE(parsed) << parsed.error;
    return parsed ? *parsed.value : DialogTemplate{};
}

struct ItemFacts {
    const char16_t* className;
    int id;
    const char16_t* text;
    int x, y, cx, cy;
    DWORD style;
};

void ExpectItems(const DialogTemplate& dialog, std::initializer_list<ItemFacts> expected) {
    ASSERT_EQ(dialog.items.size(), expected.size());
    size_t i = 0;
    for (const auto& want : expected) {
        const auto& item = dialog.items[i++];
        SCOPED_TRACE("item " + std::to_string(want.id));
        EXPECT_EQ(item.className, want.className);
        EXPECT_EQ(static_cast<int16_t>(item.id), want.id);
        EXPECT_EQ(item.text.name, want.text);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style, want.style);
    }
}

TEST(ResourceTemplates, MainDialogReadsBackExactly) {
    const DialogTemplate main = Template(101);
    EXPECT_FALSE(main.extended);
    EXPECT_EQ(main.style, 0x10C80AC5u);
    EXPECT_EQ(main.exStyle, 0x00040400u);
    EXPECT_EQ(main.title, u"Quorva CE Tandel");
    EXPECT_TRUE(main.hasFont);
    EXPECT_EQ(main.pointSize, 8);
    EXPECT_EQ(main.faceName, u"MS Sans Serif");
    EXPECT_EQ(main.x, 0);
    EXPECT_EQ(main.y, 0);
    EXPECT_EQ(main.cx, 185);
    EXPECT_EQ(main.cy, 92);
    EXPECT_TRUE(main.menu.IsOrdinal());
    EXPECT_EQ(main.menu.ordinal, 0);
    ExpectItems(main, {{u"Button", 1007, u"&Backup", 7, 15, 49, 14, 0x50010000},
                       {u"Button", 1003, u"&Restore", 7, 39, 49, 14, 0x50010000},
                       {u"Button", 2, u"&Cancel", 7, 63, 49, 14, 0x50010000}});
}

TEST(ResourceTemplates, ControlKindsAndStylesOfTheOtherDialogs) {
    const DialogTemplate message = Template(104);
    EXPECT_EQ(message.style, 0x10C00AC5u);
    EXPECT_EQ(message.exStyle, 0u);
    ExpectItems(message, {{u"Button", 1, u"&OK", 65, 74, 50, 14, 0x50010001},
                          {u"Static", 1010, u"", 17, 28, 150, 25, 0x50020001}});

    // The resource compiler writes class names upper-cased.
    const DialogTemplate progress = Template(105);
    ExpectItems(progress, {{u"Button", 2, u"&Cancel", 70, 74, 50, 14, 0x50010000},
                           {u"MSCTLS_PROGRESS32", 1008, u"Progress1", 21, 38, 142, 10, 0x50800000}});

    const DialogTemplate select = Template(106);
    ASSERT_EQ(select.items.size(), 4u);
    EXPECT_EQ(select.items[2].className, u"ComboBox");
    EXPECT_EQ(select.items[2].style, 0x50210003u);
    EXPECT_EQ(select.items[2].cy, 58);
    EXPECT_EQ(static_cast<int16_t>(select.items[3].id), -1);
    EXPECT_EQ(select.items[3].text.name, u"Backup to Restore");
}

TEST(ResourceTemplates, ExtendedTemplateKeepsHelpIdsWeightAndItemData) {
    const DialogTemplate extended = Template(300);
    EXPECT_TRUE(extended.extended);
    EXPECT_EQ(extended.helpId, 77u);
    EXPECT_EQ(extended.exStyle, static_cast<DWORD>(WS_EX_CONTEXTHELP));
    EXPECT_EQ(extended.x, 1);
    EXPECT_EQ(extended.y, 2);
    EXPECT_EQ(extended.pointSize, 9);
    EXPECT_EQ(extended.weight, 700);
    EXPECT_EQ(extended.italic, 1);
    EXPECT_EQ(extended.faceName, u"Liberation Sans");
    ASSERT_EQ(extended.items.size(), 1u);
    EXPECT_EQ(extended.items[0].helpId, 99u);
    EXPECT_EQ(extended.items[0].exStyle, static_cast<DWORD>(WS_EX_STATICEDGE));
    EXPECT_EQ(extended.items[0].id, 42u);
    EXPECT_EQ(extended.items[0].className, u"BUTTON");  // named classes come out upper-cased
}

TEST(ResourceTables, StringsByIdAndTheirMissingNeighbours) {
    WCHAR text[64];
    SetLastError(0);
    EXPECT_EQ(LoadString(nullptr, 1, text, 64), 18);
    EXPECT_EQ(std::u16string(text), u"Operation Complete");
    EXPECT_EQ(LoadString(nullptr, 10, text, 64), 1);
    EXPECT_EQ(std::u16string(text), u"\\");
    EXPECT_EQ(LoadString(nullptr, 17, text, 64), 9);  // second block
    EXPECT_EQ(std::u16string(text), u"Seventeen");

    // A missing entry of a present block, and a missing block.
    EXPECT_EQ(LoadString(nullptr, 2, text, 64), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadString(nullptr, 61716, text, 64), 0);

    // A short buffer gets as much as fits, terminated.
    EXPECT_EQ(LoadString(nullptr, 1, text, 10), 9);
    EXPECT_EQ(std::u16string(text), u"Operation");
}

TEST(ResourceTables, AcceleratorIconGroupAndBitmap) {
    auto program = Program();
    const ResourceEntry* table = program->Find(ResourceId::Of(kTypeAccelerator), ResourceId::Of(101));
    ASSERT_NE(table, nullptr);
    auto accelerators = ParseAccelerators(table->data);
    ASSERT_TRUE(accelerators) << accelerators.error;
    ASSERT_EQ(accelerators.value->size(), 1u);
    EXPECT_EQ((*accelerators.value)[0].flags, 0x93);
    EXPECT_EQ((*accelerators.value)[0].key, 0x48);
    EXPECT_EQ((*accelerators.value)[0].command, 1022);
    EXPECT_NE(LoadAccelerators(nullptr, MAKEINTRESOURCE(101)), nullptr);
    EXPECT_EQ(LoadAccelerators(nullptr, MAKEINTRESOURCE(102)), nullptr);

    const ResourceEntry* group = program->Find(ResourceId::Of(kTypeGroupIcon), ResourceId::Of(102));
    ASSERT_NE(group, nullptr);
    auto icons = ParseIconGroup(group->data);
    ASSERT_TRUE(icons) << icons.error;
    ASSERT_EQ(icons.value->size(), 2u);
    const int sizes[] = {32, 16};
    for (size_t i = 0; i < 2; ++i) {
        const auto& entry = (*icons.value)[i];
        EXPECT_EQ(entry.width, sizes[i]);
        EXPECT_EQ(entry.height, sizes[i]);
        EXPECT_EQ(entry.colourCount, 16);
        EXPECT_EQ(entry.bitCount, 4);
        const ResourceEntry* image = program->Find(ResourceId::Of(kTypeIcon), ResourceId::Of(entry.imageId));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->data.size(), entry.bytes);
        auto dib = ReadDibInfo(image->data);
        ASSERT_TRUE(dib) << dib.error;
        EXPECT_EQ(dib.value->width, sizes[i]);
        EXPECT_EQ(dib.value->height, 2 * sizes[i]);  // colour bits, then the mask
    }

    HRSRC logo = FindResource(nullptr, MAKEINTRESOURCE(136), RT_BITMAP);
    ASSERT_NE(logo, nullptr);
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, logo)));
    auto bitmap = ReadDibInfo({bytes, SizeofResource(nullptr, logo)});
    ASSERT_TRUE(bitmap) << bitmap.error;
    EXPECT_EQ(bitmap.value->width, 52);
    EXPECT_EQ(bitmap.value->height, 93);
    EXPECT_EQ(bitmap.value->bitCount, 4);
    EXPECT_EQ(bitmap.value->paletteColours, 16u);

    SetLastError(0);
    EXPECT_EQ(FindResource(nullptr, MAKEINTRESOURCE(137), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(ResourceFiles, EmbeddedBytesAreTheCompiledFile) {
    auto bytes = SampleBytes();
    ASSERT_GT(bytes.size(), 32u);
    auto parsed = ResourceFile::Parse(bytes);
    ASSERT_TRUE(parsed) << parsed.error;
    EXPECT_EQ(parsed.value->Entries().size(), Program()->Entries().size());
}

TEST(ResourceFiles, EveryTruncationIsRefusedOrEndsOnAnEntryBoundary) {
    const auto bytes = SampleBytes();
    const auto whole = ResourceFile::Parse(bytes);
    ASSERT_TRUE(whole);
    size_t refused = 0;
    for (size_t length = 0; length < bytes.size(); ++length) {
        // Copied, so a read past the cut is a read past the allocation (the sanitizer build).
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        auto parsed = ResourceFile::Parse(cut);
        if (parsed) {
            // Only the last entry's padding may go missing without losing an entry.
            if (bytes.size() - length >= 4) {
                EXPECT_LT(parsed.value->Entries().size(), whole.value->Entries().size()) << length;
            }
        } else {
            EXPECT_FALSE(parsed.error.empty());
            ++refused;
        }
    }
    EXPECT_GT(refused, bytes.size() * 9 / 10);

    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 40);
    auto parsed = ResourceFile::Parse(cut);
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.error.find("entry at byte 32"), std::string::npos) << parsed.error;
}

TEST(ResourceFiles, MalformedSizesAndNonResourceFilesAreRefused) {
    auto bytes = SampleBytes();
    // The first real entry's header size made larger than the file.
    bytes[36] = 0xFF;
    bytes[37] = 0xFF;
    auto parsed = ResourceFile::Parse(bytes);
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.error.find("header size"), std::string::npos) << parsed.error;

    const std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(ResourceFile::Parse(text));
    EXPECT_FALSE(RegisterModuleResources(reinterpret_cast<HINSTANCE>(0x1234), text));
    EXPECT_EQ(ModuleResources(reinterpret_cast<HINSTANCE>(0x1234)), nullptr);
}

TEST(ResourceFiles, TruncatedTemplatesAndTablesAreRefused) {
    auto program = Program();
    for (uint16_t id : {101, 106, 300}) {
        const auto* entry = program->Find(ResourceId::Of(kTypeDialog), ResourceId::Of(id));
        ASSERT_NE(entry, nullptr);
        for (size_t length = 0; length + 3 < entry->data.size(); ++length) {
            std::vector<uint8_t> cut(entry->data.begin(), entry->data.begin() + static_cast<long>(length));
            auto parsed = ParseDialogTemplate(cut);
            EXPECT_FALSE(parsed) << "dialog " << id << " cut at " << length;
        }
    }
    const std::vector<uint8_t> shortTable{0x93, 0, 0x48, 0, 0xFE, 0x03};
    EXPECT_FALSE(ParseAccelerators(shortTable));
    const std::vector<uint8_t> shortGroup{0, 0, 1, 0, 2, 0, 32, 32};
    EXPECT_FALSE(ParseIconGroup(shortGroup));
    const std::vector<uint8_t> shortDib{40, 0, 0, 0, 52, 0};
    EXPECT_FALSE(ReadDibInfo(shortDib));
}

}  // namespace

namespace {

TEST(ResourceImages, LoadIconAndLoadBitmapDecodeTheProgramsPictures) {
    HICON icon = LoadIcon(nullptr, MAKEINTRESOURCE(102));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::ui::GetIconSize(icon).cx, 32);  // the image nearest the large size
    EXPECT_EQ(platform::ui::GetIconSize(icon).cy, 32);
    EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCE(102)), icon);  // one handle per group
    EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCE(103)), nullptr);

    HBITMAP logo = LoadBitmap(nullptr, MAKEINTRESOURCE(136));
    ASSERT_NE(logo, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObject(logo, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 52);
    EXPECT_EQ(info.bmHeight, 93);
    HBITMAP second = LoadBitmap(nullptr, MAKEINTRESOURCE(136));
    EXPECT_NE(second, logo);  // a new bitmap each time, the caller's to delete
    DeleteObject(second);
    DeleteObject(logo);
    EXPECT_EQ(LoadBitmap(nullptr, MAKEINTRESOURCE(137)), nullptr);
}

}  // namespace
