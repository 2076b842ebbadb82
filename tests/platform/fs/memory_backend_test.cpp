// What only the memory store does: a capacity that is really used up and freed again.
#include "file_helpers.h"

namespace file_tests {
namespace {

class MemoryStoreCapacity : public ::testing::Test {
protected:
    void SetUp() override {
        store_ = std::make_shared<platform::MemoryBackend>(1000);
        platform::MountRoot(store_);
    }
    void TearDown() override { platform::ResetFileSystem(); }

    std::shared_ptr<platform::MemoryBackend> store_;
};

TEST_F(MemoryStoreCapacity, AFullStoreRefusesGrowthUntilSpaceIsFreed) {
    ASSERT_TRUE(WriteText(u"\\a", std::string(600, 'a')));
    HANDLE file = Open(u"\\b", GENERIC_WRITE, 0, CREATE_NEW);
    DWORD done = 0;
    const std::string tooMuch(500, 'b');
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(WriteFile(file, tooMuch.data(), 500, &done, nullptr)); }),
              ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(WriteFile(file, tooMuch.data(), 400, &done, nullptr));
    EXPECT_EQ(store_->UsedBytes(), 1000u);
    // Overwriting in place needs no room; growing by one byte does.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_END), 401u);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(SetEndOfFile(file)); }), ERROR_DISK_FULL);
    CloseHandle(file);
    ASSERT_TRUE(DeleteFile(u"\\a"));
    EXPECT_EQ(store_->UsedBytes(), 400u);
    EXPECT_TRUE(WriteText(u"\\c", std::string(600, 'c')));
}

}  // namespace
}  // namespace file_tests
