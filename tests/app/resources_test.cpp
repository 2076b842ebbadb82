// The program's resources as the resource compiler wrote them and the program carries them.
#include <platform/ui/resources.h>

#include <algorithm>
#include <array>
#include <vector>

#include "app_test_support.h"

namespace {

using namespace platform::ui;

bool EqualsIgnoreCaseAscii(const std::u16string& a, const std::u16string& b) {
    return platform::EqualsIgnoreCase(a, b);
}

class ResourcesTest : public ::testing::Test {
protected:
    const ResourceFile& File() {
        file = ModuleResources(nullptr);
        EXPECT_NE(file, nullptr);
        return *file;
    }
    std::span<const uint8_t> Data(uint16_t type, uint16_t name) {
        const ResourceEntry* entry = File().Find(ResourceId::Of(type), ResourceId::Of(name));
        EXPECT_NE(entry, nullptr) << "resource " << type << "/" << name;
        return entry ? entry->data : std::span<const uint8_t>{};
    }
    DialogTemplate Template(uint16_t id) {
        auto parsed = ParseDialogTemplate(Data(kTypeDialog, id));
        EXPECT_TRUE(parsed) << parsed.error;
        return parsed.value.value_or(DialogTemplate{});
    }
    std::u16string String(UINT id) {
        auto text = FindString(File(), id);
        return text.value.value_or(u"(missing)");
    }

    std::shared_ptr<const ResourceFile> file;
};

TEST_F(ResourcesTest, TheMainDialogTemplate) {
    const DialogTemplate main = Template(101);
    EXPECT_EQ(main.style, 0x10C80AC5u);
    EXPECT_EQ(main.exStyle, 0x00040400u);
    EXPECT_EQ(main.title, u"Quorva CE Tandel");
    EXPECT_EQ(main.faceName, u"MS Sans Serif");
    EXPECT_EQ(main.pointSize, 8);
    EXPECT_EQ((std::array<int, 4>{main.x, main.y, main.cx, main.cy}), (std::array<int, 4>{0, 0, 185, 92}));
    struct Item {
        DWORD id;
        const char16_t* text;
        int y;
    } expected[] = {{1007, u"&Backup", 15}, {1003, u"&Restore", 39}, {2, u"&Cancel", 63}};
    ASSERT_EQ(main.items.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const DialogItemTemplate& item = main.items[i];
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.text.name, expected[i].text);
        EXPECT_EQ(item.style, 0x50010000u) << "none of them is the default button";
        EXPECT_EQ((std::array<int, 4>{item.x, item.y, item.cx, item.cy}), (std::array<int, 4>{7, expected[i].y, 49, 14}));
        EXPECT_TRUE(EqualsIgnoreCaseAscii(item.className, u"Button"));
    }
}

TEST_F(ResourcesTest, TheMessageAndProgressTemplates) {
    const DialogTemplate message = Template(104);
    EXPECT_EQ(message.style, 0x10C00AC5u);
    EXPECT_EQ(message.exStyle, 0u);
    ASSERT_EQ(message.items.size(), 2u);
    EXPECT_EQ(message.items[0].id, 1u);
    EXPECT_EQ(message.items[0].style, 0x50010001u);
    EXPECT_EQ(message.items[1].id, 1010u);
    EXPECT_EQ(message.items[1].style, 0x50020001u);
    EXPECT_EQ((std::array<int, 4>{message.items[1].x, message.items[1].y, message.items[1].cx, message.items[1].cy}),
              (std::array<int, 4>{17, 28, 150, 25}));

    const DialogTemplate progress = Template(105);
    EXPECT_EQ(progress.style & WS_SYSMENU, 0u);
    EXPECT_EQ((std::array<int, 2>{progress.cx, progress.cy}), (std::array<int, 2>{186, 95}));
    ASSERT_EQ(progress.items.size(), 2u);
    EXPECT_EQ(progress.items[0].id, 2u);
    EXPECT_EQ(progress.items[0].style, 0x50010000u);
    EXPECT_EQ(progress.items[1].id, 1008u);
    EXPECT_TRUE(EqualsIgnoreCaseAscii(progress.items[1].className, u"msctls_progress32"));
    EXPECT_EQ(progress.items[1].text.name, u"Progress1");
    EXPECT_EQ((std::array<int, 4>{progress.items[1].x, progress.items[1].y, progress.items[1].cx, progress.items[1].cy}),
              (std::array<int, 4>{21, 38, 142, 10}));
}

// The backup selection (106) and the replace question (139), control by control.
TEST_F(ResourcesTest, TheSelectionAndQuestionTemplates) {
    struct Item {
        DWORD id;
        const char16_t* className;
        const char16_t* text;
        DWORD style;
        std::array<int, 4> place;
    };
    struct Case {
        uint16_t id;
        DWORD style;
        const char16_t* title;
        int cx;
        std::vector<Item> items;
    } cases[] = {
        {106, 0x10C00AC5, u"Quorva CE Tandel", 186,
         {{1, u"Button", u"&OK", 0x50010001, {22, 74, 50, 14}},
          {2, u"Button", u"&Cancel", 0x50010000, {114, 74, 50, 14}},
          {1009, u"ComboBox", u"", 0x50210003, {23, 30, 140, 58}},
          {0xFFFF, u"Static", u"Backup to Restore", 0x50020000, {23, 13, 138, 12}}}},
        {139, 0x10C80AC5, u"Confirm Replace", 260,
         {{6, u"Button", u"&Yes", 0x50010001, {7, 74, 50, 14}},
          {1021, u"Button", u"Yes to &All", 0x50010000, {103, 74, 50, 14}},
          {7, u"Button", u"&No", 0x50010000, {203, 74, 50, 14}},
          {1006, u"Static", u"", 0x50020000, {7, 7, 246, 57}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const DialogTemplate dialog = Template(c.id);
        EXPECT_EQ(dialog.style, c.style);
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.title, c.title);
        EXPECT_EQ(dialog.faceName, u"MS Sans Serif");
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ((std::array<int, 4>{dialog.x, dialog.y, dialog.cx, dialog.cy}), (std::array<int, 4>{0, 0, c.cx, 95}));
        ASSERT_EQ(dialog.items.size(), c.items.size());
        for (size_t i = 0; i < c.items.size(); ++i) {
            const DialogItemTemplate& item = dialog.items[i];
            const Item& expected = c.items[i];
            EXPECT_EQ(item.id & 0xFFFF, expected.id) << "item " << i;
            EXPECT_TRUE(EqualsIgnoreCaseAscii(item.className, expected.className)) << "item " << i;
            EXPECT_EQ(item.text.name, expected.text) << "item " << i;
            EXPECT_EQ(item.style, expected.style) << "item " << i;
            EXPECT_EQ((std::array<int, 4>{item.x, item.y, item.cx, item.cy}), expected.place) << "item " << i;
        }
    }
}

TEST_F(ResourcesTest, TheStringTable) {
    EXPECT_EQ(String(1), u"Operation Complete");
    EXPECT_EQ(String(2), u"Application Error %d");
    EXPECT_EQ(String(3), u"Application Error %d \nNo Quorva drive found");
    EXPECT_EQ(String(4), u"Application Error %d\nDestination disk full");
    EXPECT_EQ(String(5), u"Application Error %d\nWrite failed. Make sure disk is inserted into drive.");
    EXPECT_EQ(String(6), u"Application Error %d\nUnable to write.  Make sure the disk is not write protected.");
    EXPECT_EQ(String(7),
              u"%s already exist.\n\n  Would you like to replace\n    %s bytes modified on %d/%d/%2d %d:%02d %s\n"
              u"With this one?\n    %s bytes modified on %d/%d/%2d %d:%02d %s");
    EXPECT_EQ(String(7).size(), 153u);
    EXPECT_EQ(String(8), u"AM");
    EXPECT_EQ(String(9), u"PM");
    EXPECT_EQ(String(10), u"\\");
    EXPECT_EQ(String(11), u",");
    EXPECT_EQ(String(61703), u"Failed to launch help.");
    EXPECT_EQ(String(61716), u"Please enter no more than %1 characters.");
}

TEST_F(ResourcesTest, TheAcceleratorTableHasTheOneAltHEntry) {
    auto table = ParseAccelerators(Data(kTypeAccelerator, 101));
    ASSERT_TRUE(table) << table.error;
    ASSERT_EQ(table.value->size(), 1u);
    EXPECT_EQ(table.value->at(0).flags, 0x93);
    EXPECT_EQ(table.value->at(0).key, 0x48);
    EXPECT_EQ(table.value->at(0).command, 1022);
}

TEST_F(ResourcesTest, TheIconAndTheLogo) {
    auto group = ParseIconGroup(Data(kTypeGroupIcon, 102));
    ASSERT_TRUE(group) << group.error;
    ASSERT_EQ(group.value->size(), 2u);
    std::vector<int> sides;
    for (const auto& image : *group.value) {
        sides.push_back(image.width);
        EXPECT_EQ(image.width, image.height);
        EXPECT_EQ(image.colourCount, 16);
    }
    std::sort(sides.begin(), sides.end());
    EXPECT_EQ(sides, (std::vector<int>{16, 32}));

    auto logo = ReadDibInfo(Data(kTypeBitmap, 136));
    ASSERT_TRUE(logo) << logo.error;
    EXPECT_EQ(logo.value->width, 52);
    EXPECT_EQ(std::abs(logo.value->height), 93);
    EXPECT_EQ(logo.value->bitCount, 4);
}

}  // namespace
