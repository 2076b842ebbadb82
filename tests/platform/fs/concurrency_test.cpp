// The backup worker copies while other threads use the file system: copies, writes and listings
// on several threads at once must each see a consistent store.
#include "store_suite.h"

#include <thread>

namespace file_tests {
namespace {

TEST_P(FileApi, CopiesWritesAndListingsOnSeveralThreads) {
    MountCard();
    ASSERT_TRUE(WriteText(At(u"\\source"), std::string(100'000, 's')));
    constexpr int kFiles = 20;
    auto copier = [](std::u16string folder) {
        EXPECT_TRUE(CreateDirectory(folder.c_str(), nullptr));
        for (int i = 0; i < kFiles; ++i) {
            const auto target = folder + u"\\" + platform::Utf16(std::to_string(i));
            EXPECT_TRUE(CopyFile(At(u"\\source"), target.c_str(), FALSE));
        }
    };
    std::thread first(copier, At(u"\\A").text), second(copier, u"\\Card\\B");
    std::thread writer([] {
        for (int i = 0; i < kFiles; ++i) EXPECT_TRUE(WriteText(At(u"\\log"), std::to_string(i)));
    });
    for (int i = 0; i < 50; ++i) {
        for (const auto& name : List(At(u"\\*.*"))) {
            EXPECT_TRUE(name == "source" || name == "A" || name == "log" || name == "Card") << name;
        }
    }
    first.join();
    second.join();
    writer.join();
    EXPECT_EQ(List(At(u"\\A\\*.*")).size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(List(u"\\Card\\B\\*.*").size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(ReadText(At(u"\\A\\19")), std::string(100'000, 's'));
    EXPECT_EQ(ReadText(At(u"\\log")), std::to_string(kFiles - 1));
}

}  // namespace
}  // namespace file_tests
