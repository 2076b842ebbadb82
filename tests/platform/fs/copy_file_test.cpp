// CopyFile, also across mounts.
#include "store_suite.h"

namespace file_tests {
namespace {

std::string Pattern(size_t bytes) {
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return data;
}

FILETIME LastWrite(const char16_t* path) {
    WIN32_FIND_DATA data{};
    HANDLE listing = FindFirstFile(path, &data);
    if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
    return data.ftLastWriteTime;
}

TEST_P(FileApi, ACopyHasTheContentsAttributesAndLastWriteTime) {
    const auto contents = Pattern(200'000);  // several chunks
    ASSERT_TRUE(WriteText(At(u"\\src"), contents));
    ASSERT_TRUE(SetFileAttributes(At(u"\\src"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const FILETIME written = LastWrite(At(u"\\src"));
    Clock().Advance(3'600'000);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(CopyFile(At(u"\\src"), At(u"\\dst"), TRUE)); }), kSentinel);
    EXPECT_EQ(ReadText(At(u"\\dst")), contents);
    EXPECT_EQ(GetFileAttributes(At(u"\\dst")), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    FILETIME copied = LastWrite(At(u"\\dst"));
    EXPECT_EQ(CompareFileTime(&copied, &written), 0);
    EXPECT_EQ(ReadText(At(u"\\src")), contents);
}

TEST_P(FileApi, ContentsMoveInBoundedChunksWhateverTheFileSize) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    HANDLE file = Open(At(u"\\large"), GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 8 << 20, nullptr, FILE_BEGIN), 8u << 20);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    ASSERT_TRUE(CopyFile(At(u"\\large"), At(u"\\copy"), FALSE));
    EXPECT_LE(Faults().LargestWrite(), 64u * 1024);
    EXPECT_EQ(GetFileAttributes(At(u"\\copy")), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_P(FileApi, RefusalsLeaveTheDestinationAsItWas) {
    ASSERT_TRUE(WriteText(At(u"\\src"), "new"));
    ASSERT_TRUE(WriteText(At(u"\\dst"), "old"));
    ASSERT_TRUE(CreateDirectory(At(u"\\Dir"), nullptr));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\dst"), TRUE)); }), ERROR_FILE_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\none"), At(u"\\dst"), FALSE)); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\no\\ne"), At(u"\\dst"), FALSE)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\no\\dst"), FALSE)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\Dir"), At(u"\\dst"), FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\Dir"), FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\SRC"), FALSE)); }), ERROR_SHARING_VIOLATION);
    HANDLE open = Open(At(u"\\dst"), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\dst"), FALSE)); }), ERROR_SHARING_VIOLATION);
    CloseHandle(open);
    EXPECT_EQ(ReadText(At(u"\\dst")), "old");
    EXPECT_EQ(ReadText(At(u"\\src")), "new");
}

TEST_P(FileApi, ACopyThatFailsMidwayLeavesTheOldDestinationWhole) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    const auto contents = Pattern(300'000);
    ASSERT_TRUE(WriteText(At(u"\\src"), contents));
    ASSERT_TRUE(WriteText(At(u"\\dst"), "the old destination"));
    ASSERT_TRUE(SetFileAttributes(At(u"\\dst"), FILE_ATTRIBUTE_HIDDEN));
    const auto before = List(At(u"\\*.*"));
    Faults().FailWritesAfter(150'000);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\dst"), FALSE)); }), ERROR_DISK_FULL);
    Faults().Clear();
    EXPECT_EQ(ReadText(At(u"\\dst")), "the old destination");
    EXPECT_EQ(GetFileAttributes(At(u"\\dst")), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(List(At(u"\\*.*")), before);  // nothing half-written lies about

    Faults().FailWritesAfter(70'000, ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\fresh"), FALSE)); }), ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(At(u"\\fresh")), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    Faults().Clear();
    EXPECT_TRUE(CopyFile(At(u"\\src"), At(u"\\dst"), FALSE));
    EXPECT_EQ(ReadText(At(u"\\dst")), contents);
}

TEST_P(FileApi, ACopyWhoseSourceCannotBeReadChangesNothing) {
    if (!Store().faults) GTEST_SKIP() << kNoFaultLayer;
    ASSERT_TRUE(WriteText(At(u"\\src"), "x"));
    ASSERT_TRUE(WriteText(At(u"\\dst"), "old"));
    Faults().FailOn(FaultyBackend::Op::OpenFile, u"\\src", ERROR_READ_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\src"), At(u"\\dst"), FALSE)); }), ERROR_READ_FAULT);
    EXPECT_EQ(ReadText(At(u"\\dst")), "old");
}

TEST_P(FileApi, CopiesCrossMountsBothWays) {
    const auto contents = Pattern(100'000);
    ASSERT_TRUE(CreateDirectory(At(u"\\Docs"), nullptr));
    ASSERT_TRUE(WriteText(At(u"\\Docs\\a.txt"), contents));
    auto& card = MountCard();
    ASSERT_TRUE(CreateDirectory(u"\\Card\\Backup", nullptr));
    EXPECT_TRUE(CopyFile(At(u"\\Docs\\a.txt"), u"\\Card\\Backup\\a.txt", FALSE));
    EXPECT_EQ(ReadText(u"\\CARD\\backup\\A.TXT"), contents);
    EXPECT_EQ(card.UsedBytes(), contents.size());
    ASSERT_TRUE(DeleteFile(At(u"\\Docs\\a.txt")));
    EXPECT_TRUE(CopyFile(u"\\Card\\Backup\\a.txt", At(u"\\Docs\\a.txt"), TRUE));
    EXPECT_EQ(ReadText(At(u"\\Docs\\a.txt")), contents);
}

TEST_P(FileApi, ACopyIntoAFullMountFailsWith112AndFreesWhatItTook) {
    auto small = std::make_shared<platform::MemoryBackend>(50'000);
    ASSERT_EQ(platform::Mount(u"Small", small), 0u);
    ASSERT_TRUE(WriteText(At(u"\\big"), Pattern(80'000)));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(At(u"\\big"), u"\\Small\\big", FALSE)); }), ERROR_DISK_FULL);
    EXPECT_EQ(small->UsedBytes(), 0u);
    EXPECT_EQ(List(u"\\Small\\*.*"), std::vector<std::string>{});
    ASSERT_TRUE(WriteText(At(u"\\fits"), Pattern(40'000)));
    EXPECT_TRUE(CopyFile(At(u"\\fits"), u"\\Small\\fits", FALSE));
}

}  // namespace
}  // namespace file_tests
