// CopyFile, on both stores and across mounts.
#include "file_fixture.h"

namespace file_tests {
namespace {

template <class Store>
class Copies : public FileApi<Store> {};
TYPED_TEST_SUITE(Copies, Stores);

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

TYPED_TEST(Copies, ACopyHasTheContentsAttributesAndLastWriteTime) {
    const auto contents = Pattern(200'000);  // several chunks
    ASSERT_TRUE(WriteText(u"\\src", contents));
    ASSERT_TRUE(SetFileAttributes(u"\\src", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const FILETIME written = LastWrite(u"\\src");
    this->Clock().Advance(3'600'000);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_TRUE(CopyFile(u"\\src", u"\\dst", TRUE)); }), kSentinel);
    EXPECT_EQ(ReadText(u"\\dst"), contents);
    EXPECT_EQ(GetFileAttributes(u"\\dst"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    FILETIME copied = LastWrite(u"\\dst");
    EXPECT_EQ(CompareFileTime(&copied, &written), 0);
    EXPECT_EQ(ReadText(u"\\src"), contents);
}

TYPED_TEST(Copies, ContentsMoveInBoundedChunksWhateverTheFileSize) {
    HANDLE file = Open(u"\\large", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 8 << 20, nullptr, FILE_BEGIN), 8u << 20);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    ASSERT_TRUE(CopyFile(u"\\large", u"\\copy", FALSE));
    EXPECT_LE(this->Faults().LargestWrite(), 64u * 1024);
    EXPECT_EQ(GetFileAttributes(u"\\copy"), FILE_ATTRIBUTE_ARCHIVE);
}

TYPED_TEST(Copies, RefusalsLeaveTheDestinationAsItWas) {
    ASSERT_TRUE(WriteText(u"\\src", "new"));
    ASSERT_TRUE(WriteText(u"\\dst", "old"));
    ASSERT_TRUE(CreateDirectory(u"\\Dir", nullptr));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\dst", TRUE)); }), ERROR_FILE_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\none", u"\\dst", FALSE)); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\no\\ne", u"\\dst", FALSE)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\no\\dst", FALSE)); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\Dir", u"\\dst", FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\Dir", FALSE)); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\SRC", FALSE)); }), ERROR_SHARING_VIOLATION);
    HANDLE open = Open(u"\\dst", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\dst", FALSE)); }), ERROR_SHARING_VIOLATION);
    CloseHandle(open);
    EXPECT_EQ(ReadText(u"\\dst"), "old");
    EXPECT_EQ(ReadText(u"\\src"), "new");
}

TYPED_TEST(Copies, ACopyThatFailsMidwayLeavesTheOldDestinationWhole) {
    const auto contents = Pattern(300'000);
    ASSERT_TRUE(WriteText(u"\\src", contents));
    ASSERT_TRUE(WriteText(u"\\dst", "the old destination"));
    ASSERT_TRUE(SetFileAttributes(u"\\dst", FILE_ATTRIBUTE_HIDDEN));
    const auto before = List(u"\\*.*");
    this->Faults().FailWritesAfter(150'000);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\dst", FALSE)); }), ERROR_DISK_FULL);
    this->Faults().Clear();
    EXPECT_EQ(ReadText(u"\\dst"), "the old destination");
    EXPECT_EQ(GetFileAttributes(u"\\dst"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(List(u"\\*.*"), before);  // nothing half-written lies about

    this->Faults().FailWritesAfter(70'000, ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\fresh", FALSE)); }), ERROR_WRITE_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\fresh"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    this->Faults().Clear();
    EXPECT_TRUE(CopyFile(u"\\src", u"\\dst", FALSE));
    EXPECT_EQ(ReadText(u"\\dst"), contents);
}

TYPED_TEST(Copies, ACopyWhoseSourceCannotBeReadChangesNothing) {
    ASSERT_TRUE(WriteText(u"\\src", "x"));
    ASSERT_TRUE(WriteText(u"\\dst", "old"));
    this->Faults().FailOn(FaultyBackend::Op::OpenFile, u"\\src", ERROR_READ_FAULT);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\src", u"\\dst", FALSE)); }), ERROR_READ_FAULT);
    EXPECT_EQ(ReadText(u"\\dst"), "old");
}

TYPED_TEST(Copies, CopiesCrossMountsBothWays) {
    const auto contents = Pattern(100'000);
    ASSERT_TRUE(CreateDirectory(u"\\Docs", nullptr));
    ASSERT_TRUE(WriteText(u"\\Docs\\a.txt", contents));
    ASSERT_TRUE(CreateDirectory(u"\\Card\\Backup", nullptr));
    EXPECT_TRUE(CopyFile(u"\\Docs\\a.txt", u"\\Card\\Backup\\a.txt", FALSE));
    EXPECT_EQ(ReadText(u"\\CARD\\backup\\A.TXT"), contents);
    EXPECT_EQ(this->Card().UsedBytes(), contents.size());
    ASSERT_TRUE(DeleteFile(u"\\Docs\\a.txt"));
    EXPECT_TRUE(CopyFile(u"\\Card\\Backup\\a.txt", u"\\Docs\\a.txt", TRUE));
    EXPECT_EQ(ReadText(u"\\Docs\\a.txt"), contents);
}

TYPED_TEST(Copies, ACopyIntoAFullMountFailsWith112AndFreesWhatItTook) {
    auto small = std::make_shared<platform::MemoryBackend>(50'000);
    ASSERT_EQ(platform::Mount(u"Small", small), 0u);
    ASSERT_TRUE(WriteText(u"\\big", Pattern(80'000)));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\big", u"\\Small\\big", FALSE)); }), ERROR_DISK_FULL);
    EXPECT_EQ(small->UsedBytes(), 0u);
    EXPECT_EQ(List(u"\\Small\\*.*"), std::vector<std::string>{});
    ASSERT_TRUE(WriteText(u"\\fits", Pattern(40'000)));
    EXPECT_TRUE(CopyFile(u"\\fits", u"\\Small\\fits", FALSE));
}

}  // namespace
}  // namespace file_tests
