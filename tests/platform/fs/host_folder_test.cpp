// What only the host-folder store does: plain host files a person can read, its attribute
// journal, the ROM overlay, names over the host's limit.
#include "file_helpers.h"

#include <algorithm>
#include <fstream>

namespace file_tests {
namespace {

namespace stdfs = std::filesystem;

class HostFolder : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
        stdfs::create_directories(Rom() / "Windows");
        std::ofstream(Rom() / "Windows" / "font.ttf") << "glyphs";
        std::ofstream(Rom() / "boot.ini") << "rom";
        Restart();
    }
    void TearDown() override {
        platform::ResetFileSystem();
        platform::UseRealClock();
    }

    stdfs::path Store() const { return temp_.Path() / "store"; }
    stdfs::path Rom() const { return temp_.Path() / "rom"; }
    // A new backend over the same folders, as after the handheld was switched off and on.
    void Restart() {
        platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
            platform::HostFolderOptions{Store(), {}, Rom()}));
    }
    static std::string HostText(const stdfs::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    TempFolder temp_;
};

TEST_F(HostFolder, FilesArePlainHostFilesAPersonCanRead) {
    ASSERT_TRUE(CreateDirectory(u"\\My Documents", nullptr));
    ASSERT_TRUE(WriteText(u"\\My Documents\\Letter.txt", "Dear"));
    EXPECT_EQ(HostText(Store() / "My Documents" / "Letter.txt"), "Dear");
    std::ofstream(Store() / "My Documents" / "dropped.txt") << "from the host";
    EXPECT_EQ(ReadText(u"\\my documents\\DROPPED.TXT"), "from the host");
    EXPECT_EQ(GetFileAttributes(u"\\My Documents\\dropped.txt"), FILE_ATTRIBUTE_NORMAL);
    stdfs::permissions(Store() / "My Documents" / "dropped.txt", stdfs::perms::owner_read);
    EXPECT_EQ(GetFileAttributes(u"\\My Documents\\dropped.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadText(u"\\My Documents\\dropped.txt"), "from the host");
}

// The store holds its folder as a mount holds its root.
TEST_F(HostFolder, AStoreFolderMovedOnTheHostWhileMountedStaysTheStore) {
    ASSERT_TRUE(WriteText(u"\\Letter.txt", "Dear"));
    const auto moved = Store().parent_path() / "moved";
    stdfs::rename(Store(), moved);
    EXPECT_EQ(ReadText(u"\\LETTER.TXT"), "Dear");
    ASSERT_TRUE(CopyFile(u"\\Letter.txt", u"\\Copy.txt", FALSE));
    ASSERT_TRUE(CreateDirectory(u"\\Folder", nullptr));
    EXPECT_EQ(HostText(moved / "Copy.txt"), "Dear");
    EXPECT_TRUE(stdfs::is_directory(moved / "Folder"));
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"boot.ini", "Copy.txt", "Folder", "Letter.txt", "Windows"}));
}

// A listing holds its folder as a find handle does: moved on the host meanwhile, the folder
// still lists, with each entry's data as it is when handed out.
TEST_F(HostFolder, AFolderMovedOnTheHostWhileListedKeepsListing) {
    ASSERT_TRUE(CreateDirectory(u"\\Dir", nullptr));
    for (const char16_t* name : {u"\\Dir\\a", u"\\Dir\\b", u"\\Dir\\c"}) ASSERT_TRUE(WriteText(name, "x"));
    ASSERT_TRUE(SetFileAttributes(u"\\Dir\\c", FILE_ATTRIBUTE_HIDDEN));
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile(u"\\Dir\\*.*", &data);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    stdfs::rename(Store() / "Dir", Store() / "Moved");
    std::ofstream(Store() / "Moved" / "b") << "longer";
    std::vector<std::string> rest;
    while (FindNextFile(listing, &data)) {
        rest.push_back(platform::ToUtf8(data.cFileName) + " " + std::to_string(data.nFileSizeLow) + " " +
                       std::to_string(data.dwFileAttributes));
    }
    FindClose(listing);
    EXPECT_EQ(rest, (std::vector<std::string>{"b 6 32", "c 1 2"}));
    EXPECT_EQ(List(u"\\Moved\\*.*"), (std::vector<std::string>{"a", "b", "c"}));
}

// The store keeps what it read of a folder to answer later misses there; what another program
// changes in the folder must still show.
TEST_F(HostFolder, NamesAnotherProgramChangesAfterAMissAreSeen) {
    ASSERT_TRUE(CreateDirectory(u"\\Dir", nullptr));
    ASSERT_TRUE(WriteText(u"\\Dir\\mine.txt", "x"));
    // Back-dated, so the outside changes below move the folder's times whatever the host
    // clock's tick.
    const auto past = stdfs::file_time_type::clock::now() - std::chrono::hours(1);
    stdfs::last_write_time(Store() / "Dir", past);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\Dir\\dropped.txt"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    std::ofstream(Store() / "Dir" / "DROPPED.TXT") << "outside";
    EXPECT_EQ(ReadText(u"\\Dir\\dropped.txt"), "outside");
    EXPECT_EQ(List(u"\\Dir\\dropped.TXT"), std::vector<std::string>{"DROPPED.TXT"});

    stdfs::last_write_time(Store() / "Dir", past);
    EXPECT_EQ(GetFileAttributes(u"\\Dir\\Dropped.txt"), FILE_ATTRIBUTE_NORMAL);
    stdfs::remove(Store() / "Dir" / "DROPPED.TXT");
    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(GetFileAttributes(u"\\Dir\\Dropped.txt"), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(List(u"\\Dir\\*.*"), std::vector<std::string>{"mine.txt"});

    // Two spellings of one name on the host: each is found by its own.
    std::ofstream(Store() / "Dir" / "twin.txt") << "a";
    std::ofstream(Store() / "Dir" / "TWIN.TXT") << "bb";
    for (const std::u16string name : {u"twin.txt", u"TWIN.TXT"}) {
        EXPECT_EQ(GetFileAttributes(u"\\Dir\\missing"), INVALID_FILE_ATTRIBUTES);
        WIN32_FIND_DATA data;
        HANDLE listing = FindFirstFile((u"\\Dir\\" + name).c_str(), &data);
        ASSERT_NE(listing, INVALID_HANDLE_VALUE);
        FindClose(listing);
        EXPECT_EQ(std::u16string(data.cFileName), name);
        EXPECT_EQ(data.nFileSizeLow, name == u"twin.txt" ? 1u : 2u);
    }
    // A listing shows the name once.
    const auto listed = List(u"\\Dir\\*.*");
    const auto twins = std::count_if(listed.begin(), listed.end(),
                                     [](const std::string& n) { return n == "twin.txt" || n == "TWIN.TXT"; });
    EXPECT_EQ(twins, 1);
}

// While a folder is being filled its look-ups start from what the store read there; another
// program that puts a new folder in its place, or adds to it, must still be seen.
TEST_F(HostFolder, AFolderBeingFilledThatAnotherProgramReplacesIsSeenAsReplaced) {
    ASSERT_TRUE(CreateDirectory(u"\\Dir", nullptr));
    ASSERT_TRUE(WriteText(u"\\Dir\\one.txt", "1"));
    ASSERT_TRUE(WriteText(u"\\Dir\\two.txt", "2"));  // a miss, then the store's own addition
    stdfs::rename(Store() / "Dir", Store() / "Old");
    stdfs::create_directory(Store() / "Dir");
    std::ofstream(Store() / "Dir" / "late.txt") << "new";
    EXPECT_EQ(ReadText(u"\\Dir\\late.txt"), "new");
    EXPECT_EQ(GetFileAttributes(u"\\Dir\\one.txt"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(WriteText(u"\\Dir\\three.txt", "3"));
    std::ofstream(Store() / "Dir" / "later.txt") << "newer";
    EXPECT_EQ(ReadText(u"\\Dir\\LATER.TXT"), "newer");
    EXPECT_EQ(List(u"\\Dir\\*.*"),
              (std::vector<std::string>{"late.txt", "later.txt", "three.txt"}));
}

// A copy looks its destination up again after the data moved: what another program put there
// meanwhile, under any spelling, is refused (80) or replaced, never answered from the look-ups
// made before the data moved.
TEST_F(HostFolder, ACopyAfterItsDataMovedSeesWhatAnotherProgramPutInItsPlace) {
    ASSERT_TRUE(CreateDirectory(u"\\Dir", nullptr));
    ASSERT_TRUE(WriteText(u"\\Dir\\src", "mine"));
    auto faults = std::make_shared<FaultyBackend>(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{Store(), {}, {}}));
    platform::MountRoot(faults);
    const struct {
        const char16_t* target;
        const char* outside;  // the host name another program makes while the copy is staged
        BOOL failIfExists;
        DWORD error;
        std::vector<std::string> listed;
    } cases[] = {
        {u"\\Dir\\dst", "dst", TRUE, ERROR_FILE_EXISTS, {"dst", "src"}},
        {u"\\Dir\\two", "TWO", FALSE, 0, {"dst", "src", "TWO"}},
    };
    for (const auto& c : cases) {
        // Back-dated, so the outside change moves the folder's times whatever the host clock's
        // tick.
        stdfs::last_write_time(Store() / "Dir", stdfs::file_time_type::clock::now() - std::chrono::hours(1));
        faults->WatchFiles([&](FaultyBackend::Op op, const std::u16string&) {
            if (op == FaultyBackend::Op::StageFile) std::ofstream(Store() / "Dir" / c.outside) << "theirs";
        });
        const BOOL copied = CopyFile(u"\\Dir\\src", c.target, c.failIfExists);
        EXPECT_EQ(copied, c.error == 0);
        if (!copied) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        faults->WatchFiles({});
        EXPECT_EQ(ReadText(c.target), c.error == 0 ? "mine" : "theirs");
        EXPECT_EQ(List(u"\\Dir\\*.*"), c.listed);
    }
}

// A copy waits in the store's staging folder, beside the store folder, until it is put in place.
TEST_F(HostFolder, CopiesAreStagedBesideTheStoreAndStillWorkWithoutTheStagingFolder) {
    ASSERT_TRUE(WriteText(u"\\a", "data"));
    ASSERT_TRUE(CopyFile(u"\\a", u"\\b", FALSE));
    auto staging = Store();
    staging += ".staging";
    ASSERT_TRUE(stdfs::is_directory(staging));
    EXPECT_TRUE(stdfs::is_empty(staging));
    stdfs::remove(staging);
    ASSERT_TRUE(CopyFile(u"\\a", u"\\c", FALSE));
    EXPECT_EQ(ReadText(u"\\c"), "data");
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"a", "b", "boot.ini", "c", "Windows"}));
}

TEST_F(HostFolder, ADeletedFileLeavesNoAttributesForItsSuccessor) {
    ASSERT_TRUE(WriteText(u"\\f", "x"));
    ASSERT_TRUE(SetFileAttributes(u"\\f", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(DeleteFile(u"\\f"));
    std::ofstream(Store() / "f") << "y";
    Restart();
    EXPECT_EQ(GetFileAttributes(u"\\f"), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(HostFolder, RomFilesAppearMergedAndCannotBeChanged) {
    EXPECT_EQ(GetFileAttributes(u"\\Windows\\font.ttf"), FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadText(u"\\windows\\FONT.TTF"), "glyphs");
    EXPECT_EQ(List(u"\\WINDOWS\\Font.TTF"), std::vector<std::string>{"font.ttf"});
    // A store file in the same folder sits beside the ROM files.
    ASSERT_TRUE(WriteText(u"\\Windows\\user.txt", "mine"));
    EXPECT_TRUE(stdfs::exists(Store() / "Windows" / "user.txt"));
    EXPECT_EQ(List(u"\\Windows\\*.*"), (std::vector<std::string>{"font.ttf", "user.txt"}));
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"boot.ini", "Windows"}));
    // A part is missing only when neither the store nor the ROM has it: 2 for the last, else 3.
    for (const auto& [path, error] : std::vector<std::pair<std::u16string, DWORD>>{
             {u"\\WINDOWS\\nothing", ERROR_FILE_NOT_FOUND},
             {u"\\Windows\\nothing\\x", ERROR_PATH_NOT_FOUND},
             {u"\\Windows\\font.ttf\\x", ERROR_PATH_NOT_FOUND},
             {u"\\Windows\\user.txt\\x", ERROR_PATH_NOT_FOUND}}) {
        EXPECT_EQ(LastErrorAfter([&] {
                      EXPECT_EQ(GetFileAttributes(path.c_str()), INVALID_FILE_ATTRIBUTES);
                  }),
                  error)
            << platform::ToUtf8(path);
    }

    EXPECT_EQ(LastErrorAfter([] { EXPECT_EQ(Open(u"\\Windows\\font.ttf", GENERIC_WRITE), INVALID_HANDLE_VALUE); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\Windows\\font.ttf")); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(SetFileAttributes(u"\\Windows\\font.ttf", 0x80)); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(CopyFile(u"\\boot.ini", u"\\Windows\\font.ttf", FALSE)); }),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(RemoveDirectory(u"\\Windows")); }), ERROR_DIR_NOT_EMPTY);
    // A copy of a ROM file is an ordinary file.
    ASSERT_TRUE(CopyFile(u"\\Windows\\font.ttf", u"\\font copy.ttf", FALSE));
    EXPECT_EQ(GetFileAttributes(u"\\font copy.ttf"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(HostText(Rom() / "Windows" / "font.ttf"), "glyphs");
}

// ROM does not change while the handheld runs: the store reads its folder when it is mounted,
// and a folder in it that leads back up the tree is followed only so deep.
TEST_F(HostFolder, TheRomIsReadWhenTheStoreIsMounted) {
    std::ofstream(Rom() / "Windows" / "later.dll") << "new";
    stdfs::create_directory_symlink(Rom(), Rom() / "Windows" / "loop");
    EXPECT_EQ(GetFileAttributes(u"\\Windows\\later.dll"), INVALID_FILE_ATTRIBUTES);
    Restart();
    EXPECT_EQ(GetFileAttributes(u"\\Windows\\later.dll"), FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadText(u"\\Windows\\LATER.DLL"), "new");
    EXPECT_EQ(ReadText(u"\\Windows\\loop\\Windows\\loop\\boot.ini"), "rom");
    EXPECT_EQ(List(u"\\Windows\\*.*"), (std::vector<std::string>{"font.ttf", "later.dll", "loop"}));
}

// 200 Cyrillic characters are 400 bytes in UTF-8 and 255 CJK ones 765, over the host's 255.
TEST_F(HostFolder, NamesOverTheHostsLimitAreShortenedOnTheHost) {
    const std::u16string cyrillic = u"\\" + std::u16string(200, u'Я');
    const std::u16string cjk = u"\\" + std::u16string(255, u'字');
    ASSERT_TRUE(WriteText(cjk.c_str(), "wide"));
    ASSERT_TRUE(CopyFile(cjk.c_str(), cyrillic.c_str(), FALSE));
    ASSERT_TRUE(CopyFile(u"\\boot.ini", cyrillic.c_str(), FALSE));
    EXPECT_EQ(ReadText(cyrillic.c_str()), "rom");
    EXPECT_EQ(ReadText(cjk.c_str()), "wide");
    // Found under any spelling, with the one they were made with.
    const std::u16string lower = u"\\" + std::u16string(200, u'я');
    EXPECT_EQ(ReadText(lower.c_str()), "rom");
    EXPECT_EQ(List(lower.c_str()), std::vector<std::string>{platform::ToUtf8(cyrillic.substr(1))});
    EXPECT_EQ(List((lower.substr(0, 200) + u"?").c_str()), std::vector<std::string>{platform::ToUtf8(cyrillic.substr(1))});
    const std::u16string other = u"\\" + std::u16string(199, u'я') + u"ж";
    EXPECT_EQ(LastErrorAfter([&] { EXPECT_EQ(GetFileAttributes(other.c_str()), INVALID_FILE_ATTRIBUTES); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(List(other.c_str()), std::vector<std::string>{});
    std::vector<std::string> onHost;
    for (const auto& entry : stdfs::directory_iterator(Store())) {
        onHost.push_back(entry.path().filename());
        EXPECT_LE(onHost.back().size(), 255u);
    }
    std::sort(onHost.begin(), onHost.end());
    ASSERT_EQ(onHost.size(), 2u);
    EXPECT_EQ(onHost[0].rfind(platform::ToUtf8(cyrillic.substr(1, 100)), 0), 0u);
    EXPECT_EQ(onHost[1].rfind(platform::ToUtf8(cjk.substr(1, 70)), 0), 0u);
}

TEST_F(HostFolder, ATornJournalLineIsPassedOverOnRestart) {
    ASSERT_TRUE(WriteText(u"\\a", "x"));
    ASSERT_TRUE(WriteText(u"\\b", "x"));
    ASSERT_TRUE(SetFileAttributes(u"\\a", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributes(u"\\b", FILE_ATTRIBUTE_SYSTEM));
    platform::ResetFileSystem();  // lets go of the journal
    auto journal = Store();
    journal += ".attributes";
    std::ofstream(journal, std::ios::app) << "P 2 12";
    Restart();
    EXPECT_EQ(GetFileAttributes(u"\\a"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributes(u"\\b"), FILE_ATTRIBUTE_SYSTEM);
}

TEST_F(HostFolder, TheJournalLivesBesideTheFolderWhateverItsSpelling) {
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
        platform::HostFolderOptions{Store() / "", {}, {}}));
    ASSERT_TRUE(WriteText(u"\\a", "x"));
    ASSERT_TRUE(SetFileAttributes(u"\\a", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(List(u"\\*.*"), std::vector<std::string>{"a"});
}

TEST_F(HostFolder, HostNamesNoCePathCanReachAreLeftOut) {
    std::ofstream(Store() / "pipe|name") << "x";
    std::ofstream(Store() / "tab\tname") << "x";
    std::ofstream(Store() / "\xff\xfe") << "x";
    std::ofstream(Store() / "ok") << "x";
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"boot.ini", "ok", "Windows"}));
}

}  // namespace
}  // namespace file_tests
