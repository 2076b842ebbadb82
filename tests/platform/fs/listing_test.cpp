// Folder listings, on both stores.
#include "file_fixture.h"

namespace file_tests {
namespace {

template <class Store>
class Listings : public FileApi<Store> {
protected:
    void SetUp() override {
        FileApi<Store>::SetUp();
        ASSERT_TRUE(CreateDirectory(u"\\D", nullptr));
        for (const char16_t* name : {u"\\D\\alpha.txt", u"\\D\\beta.doc", u"\\D\\gamma", u"\\D\\delta.txt.bak"}) {
            ASSERT_TRUE(WriteText(name, "x"));
        }
        ASSERT_TRUE(CreateDirectory(u"\\D\\Sub", nullptr));
    }
};
TYPED_TEST_SUITE(Listings, Stores);

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TYPED_TEST(Listings, PatternsMatchAsCeMatchesThem) {
    DWORD end = 0;
    EXPECT_EQ(Sorted(List(u"\\D\\*.*", &end)),
              (std::vector<std::string>{"Sub", "alpha.txt", "beta.doc", "delta.txt.bak", "gamma"}));
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(Sorted(List(u"\\D\\*")), Sorted(List(u"\\D\\*.*")));
    EXPECT_EQ(Sorted(List(u"\\D\\*.txt")), std::vector<std::string>{"alpha.txt"});
    EXPECT_EQ(Sorted(List(u"\\D\\*.TXT*")), (std::vector<std::string>{"alpha.txt", "delta.txt.bak"}));
    EXPECT_EQ(Sorted(List(u"\\D\\?eta.doc")), std::vector<std::string>{"beta.doc"});
    EXPECT_EQ(List(u"\\D\\??eta.doc", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(Sorted(List(u"\\D\\g*")), std::vector<std::string>{"gamma"});
}

TYPED_TEST(Listings, ANameWithoutWildcardsFindsThatOneEntry) {
    DWORD end = 0;
    EXPECT_EQ(List(u"\\D\\BETA.DOC", &end), std::vector<std::string>{"beta.doc"});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(List(u"\\D\\sub"), std::vector<std::string>{"Sub"});
    EXPECT_EQ(List(u"\\D\\missing", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
}

TYPED_TEST(Listings, EntriesCarryTheirAttributesSizeAndTimes) {
    ASSERT_TRUE(WriteText(u"\\D\\alpha.txt", "12345"));
    ASSERT_TRUE(SetFileAttributes(u"\\D\\alpha.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\D\\alpha.txt", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_NE(platform::ToTicks(data.ftLastWriteTime), 0u);
    EXPECT_TRUE(CloseHandle(listing));  // a listing is a handle like any other

    listing = FindFirstFile(u"\\D\\Sub", &data);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    FindClose(listing);
}

TYPED_TEST(Listings, EmptyAndMissingFoldersFailAsCeDoes) {
    DWORD end = 0;
    EXPECT_EQ(List(u"\\D\\Sub\\*.*", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(List(u"\\Nowhere\\*.*", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(List(u"\\D\\gamma\\*.*", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(List(u"\\D\\*<*", &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_INVALID_NAME);
}

TYPED_TEST(Listings, TheRootShowsMountPointsAsFolders) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\card", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_EQ(platform::ToUtf8(data.cFileName), "Card");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(Sorted(List(u"\\*.*")), (std::vector<std::string>{"Card", "D"}));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\Card")); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\CARD", nullptr)); }), ERROR_ALREADY_EXISTS);
}

TYPED_TEST(Listings, AListingStaysValidWhileItsFolderChanges) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\D\\*.*", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    std::vector<std::string> seen{platform::ToUtf8(data.cFileName)};
    // The walk that deletes a tree deletes each entry as it is handed out; another program may
    // add or delete entries meanwhile.
    ASSERT_TRUE(DeleteFile((u"\\D\\" + std::u16string(data.cFileName)).c_str()) ||
                RemoveDirectory((u"\\D\\" + std::u16string(data.cFileName)).c_str()));
    ASSERT_TRUE(WriteText(u"\\D\\added", "x"));
    while (FindNextFile(listing, &data)) {
        const std::u16string name = data.cFileName;
        seen.push_back(platform::ToUtf8(name));
        const auto path = u"\\D\\" + name;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ASSERT_TRUE(DeleteFile(path.c_str()));
        }
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(listing);
    EXPECT_EQ(Sorted(seen), (std::vector<std::string>{"Sub", "alpha.txt", "beta.doc", "delta.txt.bak", "gamma"}));
}

TYPED_TEST(Listings, EntriesDeletedBeforeTheyAreReachedAreNotReported) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\D\\*.*", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    const std::string first = platform::ToUtf8(data.cFileName);
    for (const char16_t* name : {u"\\D\\alpha.txt", u"\\D\\beta.doc", u"\\D\\gamma"}) {
        if (platform::ToUtf8(name).substr(3) != first) {
            ASSERT_TRUE(DeleteFile(name));
        }
    }
    std::vector<std::string> rest;
    while (FindNextFile(listing, &data)) rest.push_back(platform::ToUtf8(data.cFileName));
    FindClose(listing);
    for (const auto& name : rest) EXPECT_TRUE(name == "Sub" || name == "delta.txt.bak") << name;
}

TYPED_TEST(Listings, ClosedOrForeignHandlesAreRefused) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\D\\*.*", &data);
    ASSERT_TRUE(FindClose(listing));
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindNextFile(listing, &data)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindClose(listing)); }), ERROR_INVALID_HANDLE);
    HANDLE file = Open(u"\\D\\gamma", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindNextFile(file, &data)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindClose(file)); }), ERROR_INVALID_HANDLE);
    CloseHandle(file);
}

}  // namespace
}  // namespace file_tests
