// Folders, deletion and attributes, on both stores.
#include "file_fixture.h"

namespace file_tests {
namespace {

template <class Store>
class Entries : public FileApi<Store> {};
TYPED_TEST_SUITE(Entries, Stores);

TYPED_TEST(Entries, FoldersAreCreatedAndRemovedWithCeErrors) {
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(CreateDirectory(u"\\A", nullptr)); }), kSentinel);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\a", nullptr)); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\X\\Y", nullptr)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\", nullptr)); }), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteText(u"\\A\\f", "x"));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\A\\f", nullptr)); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\A")); }), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\A\\f")); }), ERROR_DIRECTORY);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\B")); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\A")); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\A\\g")); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\B\\g")); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(DeleteFile(u"\\A\\F")); }), kSentinel);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(RemoveDirectory(u"\\a")); }), kSentinel);
    EXPECT_EQ(GetFileAttributes(u"\\A"), INVALID_FILE_ATTRIBUTES);
}

TYPED_TEST(Entries, AttributesAreSetAndReadBack) {
    ASSERT_TRUE(WriteText(u"\\f", "x"));
    EXPECT_EQ(GetFileAttributes(u"\\f"), FILE_ATTRIBUTE_ARCHIVE);
    const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_TRUE(SetFileAttributes(u"\\f", all)); }), kSentinel);
    EXPECT_EQ(GetFileAttributes(u"\\F"), all);
    // Normal clears them all; directory and in-ROM are not the caller's to set.
    ASSERT_TRUE(SetFileAttributes(u"\\f", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributes(u"\\f"), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SetFileAttributes(u"\\f", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_INROM));
    EXPECT_EQ(GetFileAttributes(u"\\f"), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(CreateDirectory(u"\\D", nullptr));
    ASSERT_TRUE(SetFileAttributes(u"\\D", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributes(u"\\D"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(u"\\none", FILE_ATTRIBUTE_NORMAL)); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(u"\\no\\ne", FILE_ATTRIBUTE_NORMAL)); }),
              ERROR_PATH_NOT_FOUND);
}

TYPED_TEST(Entries, CreatingOverAFileSetsTheAttributesAskedFor) {
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
        ASSERT_TRUE(WriteText(u"\\f", "old"));
        ASSERT_TRUE(SetFileAttributes(u"\\f", c.before));
        SetLastError(kSentinel);
        HANDLE file = CreateFile(u"\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, c.asked, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_TRUE(CloseHandle(file));
        EXPECT_EQ(GetFileAttributes(u"\\f"), c.after) << c.before << " " << c.asked;
        ASSERT_TRUE(SetFileAttributes(u"\\f", FILE_ATTRIBUTE_NORMAL));
    }
}

// The layer enforces read-only itself: the host process may well run as root, which the host
// file system would let write anything.
TYPED_TEST(Entries, AReadOnlyFileRefusesEveryChange) {
    ASSERT_TRUE(WriteText(u"\\ro", "kept"));
    ASSERT_TRUE(WriteText(u"\\other", "new"));
    ASSERT_TRUE(SetFileAttributes(u"\\ro", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\ro", GENERIC_WRITE), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\ro", GENERIC_READ, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\ro")); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\other", u"\\ro", FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(u"\\ro"), "kept");
    // Reading is allowed; clearing the attribute makes it writable again.
    HANDLE reader = Open(u"\\ro", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    ASSERT_TRUE(SetFileAttributes(u"\\ro", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFile(u"\\other", u"\\ro", FALSE));
    EXPECT_EQ(ReadText(u"\\ro"), "new");

    ASSERT_TRUE(CreateDirectory(u"\\RoDir", nullptr));
    ASSERT_TRUE(SetFileAttributes(u"\\RoDir", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\RoDir")); }), ERROR_ACCESS_DENIED);
}

TYPED_TEST(Entries, AFileHeldOpenByAnotherProgramCannotBeTakenOver) {
    ASSERT_TRUE(WriteText(u"\\busy", "in use"));
    ASSERT_TRUE(WriteText(u"\\free", "free"));
    this->Faults().HoldOpen(u"\\busy");
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\busy", GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE); }),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\busy")); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\busy", u"\\copy", FALSE)); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\free", u"\\busy", FALSE)); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetFileAttributes(u"\\copy"), INVALID_FILE_ATTRIBUTES);
    this->Faults().Clear();
    EXPECT_EQ(ReadText(u"\\busy"), "in use");
}

TYPED_TEST(Entries, AnInjectedFailureReachesTheCallerUnchanged) {
    ASSERT_TRUE(CreateDirectory(u"\\D", nullptr));
    this->Faults().FailOn(FaultyBackend::Op::CreateFolder, u"\\D\\Sub", ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\d\\sub", nullptr)); }), ERROR_WRITE_FAULT);
    EXPECT_EQ(GetFileAttributes(u"\\D\\Sub"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace file_tests
