// The backup worker copies while other threads use the file system: copies, writes and listings
// on several threads at once must each see a consistent store.
#include "file_fixture.h"

#include <thread>

namespace file_tests {
namespace {

template <class Store>
class Concurrency : public FileApi<Store> {};
TYPED_TEST_SUITE(Concurrency, Stores);

TYPED_TEST(Concurrency, CopiesWritesAndListingsOnSeveralThreads) {
    ASSERT_TRUE(WriteText(u"\\source", std::string(100'000, 's')));
    constexpr int kFiles = 20;
    auto copier = [](std::u16string folder) {
        EXPECT_TRUE(CreateDirectory(folder.c_str(), nullptr));
        for (int i = 0; i < kFiles; ++i) {
            const auto target = folder + u"\\" + platform::Utf16(std::to_string(i));
            EXPECT_TRUE(CopyFile(u"\\source", target.c_str(), FALSE));
        }
    };
    std::thread first(copier, u"\\A"), second(copier, u"\\Card\\B");
    std::thread writer([] {
        for (int i = 0; i < kFiles; ++i) EXPECT_TRUE(WriteText(u"\\log", std::to_string(i)));
    });
    for (int i = 0; i < 50; ++i) {
        for (const auto& name : List(u"\\*.*")) {
            EXPECT_TRUE(name == "source" || name == "A" || name == "log" || name == "Card") << name;
        }
    }
    first.join();
    second.join();
    writer.join();
    EXPECT_EQ(List(u"\\A\\*.*").size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(List(u"\\Card\\B\\*.*").size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(ReadText(u"\\A\\19"), std::string(100'000, 's'));
    EXPECT_EQ(ReadText(u"\\log"), std::to_string(kFiles - 1));
}

}  // namespace
}  // namespace file_tests
