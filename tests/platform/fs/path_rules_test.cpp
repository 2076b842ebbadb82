// CE path syntax through the file API.
#include "store_suite.h"

namespace file_tests {
namespace {

// A path of exactly `length` characters: the store's folder, \ + a folder of 100 + \ + a file
// name filling the rest.
std::u16string PathOfLength(size_t length) {
    std::u16string path = At(u"\\" + std::u16string(100, u'd') + u"\\").text;
    path += std::u16string(length - path.size(), u'f');
    return path;
}

TEST_P(FileApi, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    ASSERT_TRUE(CreateDirectory(At(u"\\My Documents"), nullptr));
    ASSERT_TRUE(WriteText(At(u"\\MY DOCUMENTS\\Note.TXT"), "hello"));
    EXPECT_EQ(ReadText(At(u"\\my documents\\note.txt")), "hello");
    EXPECT_EQ(List(At(u"\\*.*")), std::vector<std::string>{"My Documents"});
    EXPECT_EQ(List(At(u"\\my documents\\*.*")), std::vector<std::string>{"Note.TXT"});
    // Opening under another spelling neither renames the file nor makes a second one.
    ASSERT_TRUE(WriteText(At(u"\\my documents\\NOTE.txt"), "again"));
    EXPECT_EQ(List(At(u"\\My Documents\\*.*")), std::vector<std::string>{"Note.TXT"});
}

TEST_P(FileApi, DoubledAndTrailingSeparatorsNameTheSamePlace) {
    ASSERT_TRUE(CreateDirectory(At(u"\\Backup"), nullptr));
    ASSERT_TRUE(WriteText(At(u"\\Backup\\\\notes.txt"), "x"));
    EXPECT_EQ(ReadText(At(u"\\\\Backup\\notes.txt")), "x");
    // Without a leading separator a path starts at the root.
    EXPECT_EQ(ReadText((StoreFolder() + u"/Backup/notes.txt").substr(1).c_str()), "x");
    EXPECT_EQ(GetFileAttributes(At(u"\\Backup\\")), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\Backup\\"), nullptr)); }),
              ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFile(At(u"\\Backup\\notes.txt"), At(u"\\\\Backup\\\\copy.txt"), FALSE));
    EXPECT_EQ(ReadText(At(u"\\Backup\\copy.txt")), "x");
}

// 259 characters and the terminator fill MAX_PATH.
TEST_P(FileApi, APathHoldsAtMost259Characters) {
    ASSERT_TRUE(CreateDirectory(At(u"\\" + std::u16string(100, u'd')), nullptr));
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

// A name in Cyrillic takes two bytes a character in UTF-8, so 255 of them are over a host's
// limit for a name: every store takes them all the same.
TEST_P(FileApi, ANameHoldsUpTo255CharactersInAnyScript) {
    const std::u16string file = u"\\" + std::u16string(255, u'Ж');
    // As long as the store's folder leaves room for "\Жж" in it.
    const std::u16string folder = u"\\" + std::u16string(255 - StoreFolder().size(), u'Д');
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(WriteText(At(file), "x")); }), 0u);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(CreateDirectory(At(folder), nullptr)); }), kSentinel);
    ASSERT_TRUE(WriteText(At(folder + u"\\Жж"), "y"));
    std::u16string otherCase = file;
    otherCase[1] = u'ж';
    EXPECT_EQ(ReadText(At(otherCase)), "x");
    EXPECT_EQ(List(At(folder + u"\\*")), std::vector<std::string>{"Жж"});
    auto names = List(At(u"\\*"));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{platform::ToUtf8(folder.substr(1)), platform::ToUtf8(file.substr(1))}));

    const std::u16string tooLong = u"\\" + std::u16string(256, u'n');
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_EQ(Open(At(tooLong), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE); }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CreateDirectory(At(tooLong), nullptr)); }),
              ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(DeleteFile(At(folder + u"\\жЖ")));
    EXPECT_TRUE(RemoveDirectory(At(folder)));
    EXPECT_TRUE(DeleteFile(At(otherCase)));
    EXPECT_EQ(List(At(u"\\*")), std::vector<std::string>{});
}

TEST_P(FileApi, BadNamesAreRefusedWithTheirOwnErrors) {
    struct Case {
        const char16_t* name;
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
        SCOPED_TRACE(platform::ToUtf8(c.name));
        const auto path = At(c.name);
        EXPECT_EQ(LastErrorAfter([&] {
                      EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
                  }),
                  c.error);
        EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CreateDirectory(path, nullptr)); }), c.error);
    }
    DWORD end = 0;
    EXPECT_EQ(List(At(u"\\*.*"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
}

TEST_P(FileApi, AMissingEntryAndAMissingFolderAreToldApart) {
    ASSERT_TRUE(CreateDirectory(At(u"\\Docs"), nullptr));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(At(u"\\Docs\\none")), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(At(u"\\Nope\\x")), INVALID_FILE_ATTRIBUTES); }),
              ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(WriteText(At(u"\\Docs\\file"), "x"));
    // A file where a folder should be is a missing folder.
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(At(u"\\Docs\\file\\x")), INVALID_FILE_ATTRIBUTES); }),
              ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\Docs\\none")), INVALID_HANDLE_VALUE); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\Nope\\x"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE); }),
              ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributes(At(u"\\")), GetParam().topAttributes);
}

}  // namespace
}  // namespace file_tests
