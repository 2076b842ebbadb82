// CE path syntax through the file API, on both stores.
#include "file_fixture.h"

namespace file_tests {
namespace {

template <class Store>
class PathRules : public FileApi<Store> {};
TYPED_TEST_SUITE(PathRules, Stores);

// A path of exactly `length` characters: \ + folder of 100 + \ + a file name filling the rest.
std::u16string PathOfLength(size_t length) {
    std::u16string path = u"\\" + std::u16string(100, u'd') + u"\\";
    path += std::u16string(length - path.size(), u'f');
    return path;
}

TYPED_TEST(PathRules, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    ASSERT_TRUE(CreateDirectory(u"\\My Documents", nullptr));
    ASSERT_TRUE(WriteText(u"\\MY DOCUMENTS\\Note.TXT", "hello"));
    EXPECT_EQ(ReadText(u"\\my documents\\note.txt"), "hello");
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"My Documents", "Card"}));
    EXPECT_EQ(List(u"\\my documents\\*.*"), std::vector<std::string>{"Note.TXT"});
    // Opening under another spelling neither renames the file nor makes a second one.
    ASSERT_TRUE(WriteText(u"\\my documents\\NOTE.txt", "again"));
    EXPECT_EQ(List(u"\\My Documents\\*.*"), std::vector<std::string>{"Note.TXT"});
}

TYPED_TEST(PathRules, DoubledAndTrailingSeparatorsNameTheSamePlace) {
    ASSERT_TRUE(CreateDirectory(u"\\Backup", nullptr));
    ASSERT_TRUE(WriteText(u"\\Backup\\\\notes.txt", "x"));
    EXPECT_EQ(ReadText(u"\\\\Backup\\notes.txt"), "x");
    EXPECT_EQ(ReadText(u"Backup/notes.txt"), "x");
    EXPECT_EQ(GetFileAttributes(u"\\Backup\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\Backup\\", nullptr)); }),
              ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFile(u"\\Backup\\notes.txt", u"\\\\Backup\\\\copy.txt", FALSE));
    EXPECT_EQ(ReadText(u"\\Backup\\copy.txt"), "x");
}

// 259 characters and the terminator fill MAX_PATH.
TYPED_TEST(PathRules, APathHoldsAtMost259Characters) {
    ASSERT_TRUE(CreateDirectory((u"\\" + std::u16string(100, u'd')).c_str(), nullptr));
    const auto longest = PathOfLength(259);
    const auto tooLong = PathOfLength(260);
    HANDLE file = INVALID_HANDLE_VALUE;
    EXPECT_EQ(LastErrorAfter([&] { file = Open(longest.c_str(), GENERIC_WRITE, 0, CREATE_NEW); }), 0u);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributes(longest.c_str()), FILE_ATTRIBUTE_ARCHIVE);

    EXPECT_EQ(LastErrorAfter([&] {
                  EXPECT_EQ(Open(tooLong.c_str(), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
              }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(LastErrorAfter([&] {
                  EXPECT_EQ(GetFileAttributes(tooLong.c_str()), INVALID_FILE_ATTRIBUTES);
              }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CopyFile(longest.c_str(), tooLong.c_str(), FALSE)); }),
              ERROR_FILENAME_EXCED_RANGE);
}

// A name in Cyrillic takes two bytes a character in UTF-8, so 255 of them are over the host's
// limit for a name: every store takes them all the same.
TYPED_TEST(PathRules, ANameHoldsUpTo255CharactersInAnyScript) {
    const std::u16string file = u"\\" + std::u16string(255, u'Ж');
    const std::u16string folder = u"\\" + std::u16string(254, u'ж');
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(WriteText(file.c_str(), "x")); }), 0u);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(CreateDirectory(folder.c_str(), nullptr)); }), kSentinel);
    ASSERT_TRUE(WriteText((folder + u"\\Жж").c_str(), "y"));
    std::u16string otherCase = file;
    otherCase[1] = u'ж';
    EXPECT_EQ(ReadText(otherCase.c_str()), "x");
    EXPECT_EQ(List((folder + u"\\*").c_str()), std::vector<std::string>{"Жж"});
    auto names = List(u"\\Ж*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{platform::ToUtf8(file.substr(1)), platform::ToUtf8(folder.substr(1))}));

    const std::u16string tooLong = u"\\" + std::u16string(256, u'n');
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_EQ(Open(tooLong.c_str(), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE); }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CreateDirectory(tooLong.c_str(), nullptr)); }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(DeleteFile((folder + u"\\жЖ").c_str()));
    EXPECT_TRUE(RemoveDirectory(folder.c_str()));
    EXPECT_TRUE(DeleteFile(otherCase.c_str()));
    EXPECT_EQ(List(u"\\Ж*"), std::vector<std::string>{});
}

TYPED_TEST(PathRules, BadNamesAreRefusedWithTheirOwnErrors) {
    struct Case {
        const char16_t* path;
        DWORD error;
    };
    const Case cases[] = {
        {u"\\a*b.txt", ERROR_INVALID_NAME}, {u"\\a?b.txt", ERROR_INVALID_NAME},
        {u"\\a<b", ERROR_INVALID_NAME},     {u"\\a>b", ERROR_INVALID_NAME},
        {u"\\a|b", ERROR_INVALID_NAME},     {u"\\a\"b", ERROR_INVALID_NAME},
        {u"\\.", ERROR_BAD_PATHNAME},       {u"\\..", ERROR_BAD_PATHNAME},
        {u"\\x\\...\\y", ERROR_BAD_PATHNAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        EXPECT_EQ(LastErrorAfter([&] {
                      EXPECT_EQ(Open(c.path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
                  }),
                  c.error);
        EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CreateDirectory(c.path, nullptr)); }), c.error);
    }
    EXPECT_EQ(List(u"\\*.*"), std::vector<std::string>{"Card"});
}

TYPED_TEST(PathRules, AMissingEntryAndAMissingFolderAreToldApart) {
    ASSERT_TRUE(CreateDirectory(u"\\Docs", nullptr));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\Docs\\none"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\Nope\\x"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(WriteText(u"\\Docs\\file", "x"));
    // A file where a folder should be is a missing folder.
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\Docs\\file\\x"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\Docs\\none"), INVALID_HANDLE_VALUE); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\Nope\\x", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE); }),
              ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributes(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
}  // namespace file_tests
