// Folders, deletion and attributes.
#include "store_suite.h"

namespace file_tests {
namespace {

TEST_P(FileApi, FoldersAreCreatedAndRemovedWithCeErrors) {
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(CreateDirectory(At(u"\\A"), nullptr)); }), kSentinel);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\a"), nullptr)); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\X\\Y"), nullptr)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\"), nullptr)); }), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteText(At(u"\\A\\f"), "x"));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\A\\f"), nullptr)); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(At(u"\\A"))); }), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(At(u"\\A\\f"))); }), ERROR_DIRECTORY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(At(u"\\B"))); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\A"))); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\A\\g"))); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\B\\g"))); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(DeleteFile(At(u"\\A\\F"))); }), kSentinel);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(RemoveDirectory(At(u"\\a"))); }), kSentinel);
    EXPECT_EQ(GetFileAttributes(At(u"\\A")), INVALID_FILE_ATTRIBUTES);
}

TEST_P(FileApi, AttributesAreSetAndReadBack) {
    ASSERT_TRUE(WriteText(At(u"\\f"), "x"));
    EXPECT_EQ(GetFileAttributes(At(u"\\f")), FILE_ATTRIBUTE_ARCHIVE);
    const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(SetFileAttributes(At(u"\\f"), all)); }), kSentinel);
    EXPECT_EQ(GetFileAttributes(At(u"\\F")), all);
    // Normal clears them all; directory and in-ROM are not the caller's to set.
    ASSERT_TRUE(SetFileAttributes(At(u"\\f"), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributes(At(u"\\f")), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SetFileAttributes(At(u"\\f"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_INROM));
    EXPECT_EQ(GetFileAttributes(At(u"\\f")), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(CreateDirectory(At(u"\\D"), nullptr));
    ASSERT_TRUE(SetFileAttributes(At(u"\\D"), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributes(At(u"\\D")), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(At(u"\\none"), FILE_ATTRIBUTE_NORMAL)); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(At(u"\\no\\ne"), FILE_ATTRIBUTE_NORMAL)); }),
              ERROR_PATH_NOT_FOUND);
}

TEST_P(FileApi, CreatingOverAFileSetsTheAttributesAskedFor) {
    struct Case {
        DWORD before, asked, after;
    };
    const Case cases[] = {
        {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteText(At(u"\\f"), "old"));
        ASSERT_TRUE(SetFileAttributes(At(u"\\f"), c.before));
        SetLastError(kSentinel);
        HANDLE file = CreateFile(At(u"\\f"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, c.asked, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_TRUE(CloseHandle(file));
        EXPECT_EQ(GetFileAttributes(At(u"\\f")), c.after) << c.before << " " << c.asked;
        ASSERT_TRUE(SetFileAttributes(At(u"\\f"), FILE_ATTRIBUTE_NORMAL));
    }
}

// The layer enforces read-only itself: the host process may well run as root, which the host
// file system would let write anything.
TEST_P(FileApi, AReadOnlyFileRefusesEveryChange) {
    ASSERT_TRUE(WriteText(At(u"\\ro"), "kept"));
    ASSERT_TRUE(WriteText(At(u"\\other"), "new"));
    ASSERT_TRUE(SetFileAttributes(At(u"\\ro"), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\ro"), GENERIC_WRITE), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\ro"), GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\ro"))); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\other"), At(u"\\ro"), FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(At(u"\\ro")), "kept");
    // Reading is allowed; clearing the attribute makes it writable again.
    HANDLE reader = Open(At(u"\\ro"), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    ASSERT_TRUE(SetFileAttributes(At(u"\\ro"), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFile(At(u"\\other"), At(u"\\ro"), FALSE));
    EXPECT_EQ(ReadText(At(u"\\ro")), "new");

    ASSERT_TRUE(CreateDirectory(At(u"\\RoDir"), nullptr));
    ASSERT_TRUE(SetFileAttributes(At(u"\\RoDir"), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(At(u"\\RoDir"))); }), ERROR_ACCESS_DENIED);
}

TEST_P(FileApi, AFileHeldOpenByAnotherProgramCannotBeTakenOver) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    ASSERT_TRUE(WriteText(At(u"\\busy"), "in use"));
    ASSERT_TRUE(WriteText(At(u"\\free"), "free"));
    Faults().HoldOpen(u"\\busy");
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\busy"), GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE); }),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\busy"))); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\busy"), At(u"\\copy"), FALSE)); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\free"), At(u"\\busy"), FALSE)); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetFileAttributes(At(u"\\copy")), INVALID_FILE_ATTRIBUTES);
    Faults().Clear();
    EXPECT_EQ(ReadText(At(u"\\busy")), "in use");
}

TEST_P(FileApi, AnInjectedFailureReachesTheCallerUnchanged) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    ASSERT_TRUE(CreateDirectory(At(u"\\D"), nullptr));
    Faults().FailOn(FaultyBackend::Op::CreateFolder, u"\\D\\Sub", ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\d\\sub"), nullptr)); }), ERROR_WRITE_FAULT);
    EXPECT_EQ(GetFileAttributes(At(u"\\D\\Sub")), INVALID_FILE_ATTRIBUTES);
}

// 200 Cyrillic characters are 400 bytes in UTF-8, beyond a host's 255 for a name.
TEST_P(FileApi, NamesAttributesAndTimesOutliveARestart) {
    if (!GetParam().outlivesItsMount) GTEST_SKIP() << "this store does not outlive its mount";
    const std::u16string file = u"\\" + std::u16string(200, u'Я');
    const std::u16string folder = u"\\" + std::u16string(250, u'Ё');
    const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(WriteText(At(file), "long"));
    ASSERT_TRUE(CreateDirectory(At(folder), nullptr));
    ASSERT_TRUE(SetFileAttributes(At(folder), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFile(At(file), At(folder + u"\\ab"), FALSE));
    ASSERT_TRUE(SetFileAttributes(At(file), all));
    WIN32_FIND_DATA before{}, after{};
    FindClose(FindFirstFile(At(file), &before));
    Restart();
    FindClose(FindFirstFile(At(file), &after));
    EXPECT_EQ(platform::ToUtf8(after.cFileName), platform::ToUtf8(file.substr(1)));
    EXPECT_EQ(after.dwFileAttributes, all);
    EXPECT_EQ(CompareFileTime(&before.ftCreationTime, &after.ftCreationTime), 0);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    EXPECT_EQ(List(At(folder.substr(0, 100) + u"*")), std::vector<std::string>{platform::ToUtf8(folder.substr(1))});
    EXPECT_EQ(GetFileAttributes(At(folder)), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ReadText(At(folder + u"\\AB")), "long");
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(DeleteFile(At(file))); }), ERROR_ACCESS_DENIED);
}

}  // namespace
}  // namespace file_tests
