// CreateFile and the calls on open files.
#include "store_suite.h"

namespace file_tests {
namespace {

HANDLE CreateWith(const char16_t* path, DWORD disposition, DWORD& error) {
    SetLastError(kSentinel);
    HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, disposition);
    error = GetLastError();
    return file;
}

TEST_P(FileApi, DispositionsCreateOpenOrRefuseAsCeDoes) {
    DWORD error = 0;
    EXPECT_EQ(CreateWith(At(u"\\a.txt"), OPEN_EXISTING, error), INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateWith(At(u"\\a.txt"), TRUNCATE_EXISTING, error), INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    HANDLE file = CreateWith(At(u"\\a.txt"), CREATE_NEW, error);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, 0u);
    CloseHandle(file);
    EXPECT_EQ(CreateWith(At(u"\\a.txt"), CREATE_NEW, error), INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, ERROR_FILE_EXISTS);

    ASSERT_TRUE(WriteText(At(u"\\a.txt"), "contents"));
    file = CreateWith(At(u"\\a.txt"), OPEN_ALWAYS, error);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 8u);
    CloseHandle(file);
    file = CreateWith(At(u"\\a.txt"), CREATE_ALWAYS, error);
    EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    CloseHandle(file);
    file = CreateWith(At(u"\\b.txt"), OPEN_ALWAYS, error);
    EXPECT_EQ(error, 0u);
    CloseHandle(file);

    EXPECT_EQ(LastErrorAfter([] {
                  EXPECT_EQ(Open(At(u"\\a.txt"), GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
              }),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\a.txt"), GENERIC_READ, 0, 9), INVALID_HANDLE_VALUE); }),
              ERROR_INVALID_PARAMETER);
}

TEST_P(FileApi, ReadWriteSeekAndTruncate) {
    HANDLE file = Open(At(u"\\data.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 3, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "456");
    ASSERT_TRUE(SetEndOfFile(file));
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 7u);
    EXPECT_EQ(high, 0u);
    // Reading at the end succeeds with nothing read.
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 5u);
    EXPECT_EQ(LastErrorAfter([&] {
                  EXPECT_EQ(SetFilePointer(file, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
              }),
              static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    CloseHandle(file);
    EXPECT_EQ(ReadText(At(u"\\data.bin")), "0123456");
}

TEST_P(FileApi, AHandleDoesOnlyWhatItWasOpenedFor) {
    ASSERT_TRUE(WriteText(At(u"\\f"), "abc"));
    HANDLE reader = Open(At(u"\\f"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE writer = Open(At(u"\\f"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    char buffer[4];
    DWORD done = 7;
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr)); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(ReadFile(writer, buffer, 1, &done, nullptr)); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(SetEndOfFile(reader)); }), ERROR_ACCESS_DENIED);
    FILETIME time{1, 1};
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(SetFileTime(reader, &time, &time, &time)); }),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_TRUE(CloseHandle(writer));
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(CloseHandle(writer)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(ReadFile(reader, buffer, 1, &done, nullptr)); }),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_EQ(GetFileSize(reader, nullptr), INVALID_FILE_SIZE); }),
              ERROR_INVALID_HANDLE);
}

TEST_P(FileApi, AnOpenWithoutSharingLocksOthersOutUntilItCloses) {
    ASSERT_TRUE(WriteText(At(u"\\f"), "abc"));
    HANDLE exclusive = Open(At(u"\\f"), GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\F"), GENERIC_READ, FILE_SHARE_READ), INVALID_HANDLE_VALUE); }),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\f"))); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\f"), At(u"\\g"), FALSE)); }),
              ERROR_SHARING_VIOLATION);
    CloseHandle(exclusive);
    EXPECT_EQ(ReadText(At(u"\\f")), "abc");
    EXPECT_TRUE(CopyFile(At(u"\\f"), At(u"\\g"), FALSE));
}

TEST_P(FileApi, SharedOpensMustAllowWhatEachOtherDoes) {
    ASSERT_TRUE(WriteText(At(u"\\f"), "abc"));
    HANDLE reader = Open(At(u"\\f"), GENERIC_READ, FILE_SHARE_READ);
    HANDLE second = Open(At(u"\\f"), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    // Writing is refused by the readers' share mode; refusing to share reading is refused by
    // the readers already there.
    EXPECT_EQ(LastErrorAfter([] {
                  EXPECT_EQ(Open(At(u"\\f"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
              }),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\f"), GENERIC_READ, FILE_SHARE_WRITE), INVALID_HANDLE_VALUE); }),
              ERROR_SHARING_VIOLATION);
    CloseHandle(reader);
    CloseHandle(second);
    HANDLE writer = Open(At(u"\\f"), GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // A reader that shares writing may join a writer that shares reading.
    HANDLE joined = Open(At(u"\\f"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(joined, INVALID_HANDLE_VALUE);
    CloseHandle(joined);
    CloseHandle(writer);
}

TEST_P(FileApi, AQueryOnlyOpenTakesNoPartInSharing) {
    ASSERT_TRUE(WriteText(At(u"\\f"), "abc"));
    HANDLE exclusive = Open(At(u"\\f"), GENERIC_READ, 0);
    HANDLE query = INVALID_HANDLE_VALUE;
    EXPECT_EQ(LastErrorAfter([&] { query = Open(At(u"\\f"), 0, 0); }), 0u);
    EXPECT_EQ(GetFileSize(query, nullptr), 3u);
    char buffer[4];
    DWORD done = 0;
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(ReadFile(query, buffer, 1, &done, nullptr)); }),
              ERROR_ACCESS_DENIED);
    // Emptying the file is a write, which the exclusive open still refuses.
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\f"), 0, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE); }),
              ERROR_SHARING_VIOLATION);
    CloseHandle(exclusive);
    HANDLE reader = Open(At(u"\\f"), GENERIC_READ, 0);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(query);
    EXPECT_EQ(ReadText(At(u"\\f")), "abc");
}

TEST_P(FileApi, FoldersAndTheStoresTopAreNotFiles) {
    ASSERT_TRUE(CreateDirectory(At(u"\\Docs"), nullptr));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\Docs"), GENERIC_READ), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\"), GENERIC_READ), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
}

TEST_P(FileApi, TimesAreKeptAndWritingStampsTheClock) {
    HANDLE file = Open(At(u"\\t"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    FILETIME created{}, accessed{}, written{};
    ASSERT_TRUE(GetFileTime(file, &created, &accessed, &written));
    SYSTEMTIME start;
    GetSystemTime(&start);
    FILETIME now{};
    SystemTimeToFileTime(&start, &now);
    EXPECT_EQ(CompareFileTime(&created, &now), 0);
    EXPECT_EQ(CompareFileTime(&written, &now), 0);

    Clock().Advance(60'000);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
    FILETIME later{};
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &later));
    EXPECT_EQ(platform::ToTicks(later) - platform::ToTicks(now), 60ull * 10'000'000);

    const FILETIME stamp = platform::ToFileTime(platform::ToTicks(now) - 864'000'000'000ull);
    ASSERT_TRUE(SetFileTime(file, &stamp, nullptr, &stamp));
    CloseHandle(file);
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(At(u"\\t"), &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &stamp), 0);
    EXPECT_EQ(CompareFileTime(&data.ftCreationTime, &stamp), 0);
}

TEST_P(FileApi, AFullStoreRefusesTheWriteWith112) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    HANDLE file = Open(At(u"\\big"), GENERIC_WRITE, 0, CREATE_NEW);
    Faults().FailWritesAfter(10);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr)); }),
              ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);
    CloseHandle(file);
    EXPECT_EQ(ReadText(At(u"\\big")), "0123456789");
}

TEST_P(FileApi, AWriteProtectedMediumRefusesEveryChangeWith19) {
    ASSERT_TRUE(CreateDirectory(At(u"\\Docs"), nullptr));
    ASSERT_TRUE(WriteText(At(u"\\Docs\\a"), "abc"));
    HANDLE open = Open(At(u"\\Docs\\a"), GENERIC_READ | GENERIC_WRITE);
    MountCard();
    Store().writeProtect(true);
    DWORD done = 0;
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(WriteFile(open, "x", 1, &done, nullptr)); }), ERROR_WRITE_PROTECT);
    char buffer[3];
    EXPECT_TRUE(ReadFile(open, buffer, 3, &done, nullptr));
    CloseHandle(open);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\Docs\\a"), GENERIC_WRITE), INVALID_HANDLE_VALUE); }),
              ERROR_WRITE_PROTECT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(At(u"\\Docs\\b"), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE); }),
              ERROR_WRITE_PROTECT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(At(u"\\Docs\\Sub"), nullptr)); }),
              ERROR_WRITE_PROTECT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(At(u"\\Docs\\a"))); }), ERROR_WRITE_PROTECT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(At(u"\\Docs\\a"), FILE_ATTRIBUTE_HIDDEN)); }),
              ERROR_WRITE_PROTECT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\Docs\\a"), At(u"\\Docs\\c"), FALSE)); }),
              ERROR_WRITE_PROTECT);
    EXPECT_EQ(ReadText(At(u"\\Docs\\a")), "abc");
    // Reading from it and copying out of it still work.
    EXPECT_TRUE(CopyFile(At(u"\\Docs\\a"), u"\\Card\\a", FALSE));
    Store().writeProtect(false);
    EXPECT_TRUE(DeleteFile(At(u"\\Docs\\a")));
}

}  // namespace
}  // namespace file_tests
