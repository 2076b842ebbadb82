// Folder listings.
#include "store_suite.h"

#include <cstring>

namespace file_tests {
namespace {

class Listings : public FileApi {
protected:
    void SetUp() override {
        FileApi::SetUp();
        ASSERT_TRUE(CreateDirectory(At(u"\\D"), nullptr));
        for (const char16_t* name : {u"alpha.txt", u"beta.doc", u"gamma", u"delta.txt.bak"}) {
            ASSERT_TRUE(WriteText(At(u"\\D\\" + std::u16string(name)), "x"));
        }
        ASSERT_TRUE(CreateDirectory(At(u"\\D\\Sub"), nullptr));
    }
};
INSTANTIATE_TEST_SUITE_P(Stores, Listings, ::testing::ValuesIn(StoreFactories()), StoreName);

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(Listings, PatternsMatchAsCeMatchesThem) {
    DWORD end = 0;
    const auto inOrder = GetParam().order != ListingOrder::Name
                             ? std::vector<std::string>{"alpha.txt", "beta.doc", "gamma", "delta.txt.bak", "Sub"}
                             : std::vector<std::string>{"alpha.txt", "beta.doc", "delta.txt.bak", "gamma", "Sub"};
    EXPECT_EQ(List(At(u"\\D\\*.*"), &end), inOrder);
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(Sorted(List(At(u"\\D\\*"))), Sorted(List(At(u"\\D\\*.*"))));
    EXPECT_EQ(Sorted(List(At(u"\\D\\*.txt"))), std::vector<std::string>{"alpha.txt"});
    EXPECT_EQ(Sorted(List(At(u"\\D\\*.TXT*"))), (std::vector<std::string>{"alpha.txt", "delta.txt.bak"}));
    EXPECT_EQ(Sorted(List(At(u"\\D\\?eta.doc"))), std::vector<std::string>{"beta.doc"});
    EXPECT_EQ(List(At(u"\\D\\??eta.doc"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(Sorted(List(At(u"\\D\\g*"))), std::vector<std::string>{"gamma"});
}

// A name without wildcards is looked up rather than listed; the answer must be the one the
// same name with a wildcard in it gives.
TEST_P(Listings, ANameWithoutWildcardsFindsThatOneEntry) {
    struct Case {
        const char16_t* exact;
        const char16_t* wildcard;
        std::vector<std::string> names;
        DWORD end;
    };
    for (const auto& [exact, wildcard, names, end] : std::vector<Case>{
             {u"\\D\\BETA.DOC", u"\\D\\BETA.DO?", {"beta.doc"}, ERROR_NO_MORE_FILES},
             {u"\\D\\sub", u"\\D\\su*", {"Sub"}, ERROR_NO_MORE_FILES},
             {u"\\D\\missing", u"\\D\\missin?", {}, ERROR_NO_MORE_FILES},
             {u"\\D\\gamma.", u"\\D\\gamm?.", {}, ERROR_NO_MORE_FILES},
             // A FAT volume finds this by its short name; a listing matches long names only.
             {u"\\D\\DELTAT~1.BAK", u"\\D\\DELTAT~1.BA?", {}, ERROR_NO_MORE_FILES},
             {u"\\D\\gamma\\x", u"\\D\\gamma\\?", {}, ERROR_PATH_NOT_FOUND},
             {u"\\Nowhere\\x", u"\\Nowhere\\?", {}, ERROR_PATH_NOT_FOUND},
             {u"\\Nowhere\\Deeper\\x", u"\\Nowhere\\Deeper\\?", {}, ERROR_PATH_NOT_FOUND}}) {
        for (const char16_t* pattern : {exact, wildcard}) {
            DWORD ended = 0;
            EXPECT_EQ(List(At(pattern), &ended), names) << platform::ToUtf8(pattern);
            EXPECT_EQ(ended, end) << platform::ToUtf8(pattern);
        }
    }
}

TEST_P(Listings, EntriesCarryTheirAttributesSizeAndTimes) {
    ASSERT_TRUE(WriteText(At(u"\\D\\alpha.txt"), "12345"));
    ASSERT_TRUE(SetFileAttributes(At(u"\\D\\alpha.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(At(u"\\D\\alpha.txt"), &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME written{};
    SystemTimeToFileTime(&now, &written);
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &written), 0);
    EXPECT_TRUE(CloseHandle(listing));  // a listing is a handle like any other
    // A listing of the folder describes the entry alike.
    WIN32_FIND_DATA listed;
    listing = FindFirstFile(At(u"\\D\\alph*"), &listed);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_EQ(std::memcmp(&listed, &data, sizeof data), 0);

    listing = FindFirstFile(At(u"\\D\\Sub"), &data);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    FindClose(listing);
}

TEST_P(Listings, EmptyAndMissingFoldersFailAsCeDoes) {
    DWORD end = 0;
    EXPECT_EQ(List(At(u"\\D\\Sub\\*.*"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_NO_MORE_FILES);
    EXPECT_EQ(List(At(u"\\Nowhere\\*.*"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(List(At(u"\\D\\gamma\\*.*"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(List(At(u"\\D\\*<*"), &end), std::vector<std::string>{});
    EXPECT_EQ(end, ERROR_INVALID_NAME);
}

TEST_P(Listings, AListingStaysValidWhileItsFolderChanges) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(At(u"\\D\\*.*"), &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    std::vector<std::string> seen{platform::ToUtf8(data.cFileName)};
    // The walk that deletes a tree deletes each entry as it is handed out; another program may
    // add or delete entries meanwhile.
    ASSERT_TRUE(DeleteFile(At(u"\\D\\" + std::u16string(data.cFileName))) ||
                RemoveDirectory(At(u"\\D\\" + std::u16string(data.cFileName))));
    ASSERT_TRUE(WriteText(At(u"\\D\\added"), "x"));
    while (FindNextFile(listing, &data)) {
        const std::u16string name = data.cFileName;
        seen.push_back(platform::ToUtf8(name));
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ASSERT_TRUE(DeleteFile(At(u"\\D\\" + name)));
        }
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(listing);
    EXPECT_EQ(Sorted(seen), (std::vector<std::string>{"Sub", "alpha.txt", "beta.doc", "delta.txt.bak", "gamma"}));
}

TEST_P(Listings, EntriesDeletedBeforeTheyAreReachedAreNotReported) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(At(u"\\D\\*.*"), &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    const std::string first = platform::ToUtf8(data.cFileName);
    for (const std::u16string name : {u"alpha.txt", u"beta.doc", u"gamma"}) {
        if (platform::ToUtf8(name) != first) {
            ASSERT_TRUE(DeleteFile(At(u"\\D\\" + name)));
        }
    }
    std::vector<std::string> rest;
    while (FindNextFile(listing, &data)) rest.push_back(platform::ToUtf8(data.cFileName));
    FindClose(listing);
    for (const auto& name : rest) EXPECT_TRUE(name == "Sub" || name == "delta.txt.bak") << name;
}

TEST_P(Listings, ClosedOrForeignHandlesAreRefused) {
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(At(u"\\D\\*.*"), &data);
    ASSERT_TRUE(FindClose(listing));
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindNextFile(listing, &data)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindClose(listing)); }), ERROR_INVALID_HANDLE);
    HANDLE file = Open(At(u"\\D\\gamma"), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindNextFile(file, &data)); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_FALSE(FindClose(file)); }), ERROR_INVALID_HANDLE);
    CloseHandle(file);
}

// The root's own entries come first, then the mount points, as folders.
TEST(MountPoints, ListInTheRootAsFoldersThatCannotBeRemoved) {
    struct Reset {
        ~Reset() { platform::ResetFileSystem(); }
    } reset;
    ASSERT_EQ(platform::Mount(u"Card", std::make_shared<platform::MemoryBackend>()), 0u);
    ASSERT_TRUE(CreateDirectory(u"\\D", nullptr));
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\card", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_EQ(platform::ToUtf8(data.cFileName), "Card");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"D", "Card"}));
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\Card")); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CreateDirectory(u"\\CARD", nullptr)); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\Card", GENERIC_READ), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
}

}  // namespace
}  // namespace file_tests
