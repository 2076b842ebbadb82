// What only the host-folder store does: plain host files, attributes kept across restarts, the
// ROM overlay.
#include "file_fixture.h"

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
}

TEST_F(HostFolder, AttributesAndCreationTimesSurviveARestart) {
    ASSERT_TRUE(WriteText(u"\\kept", "x"));
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributes(u"\\kept", attributes));
    ASSERT_TRUE(CreateDirectory(u"\\Hidden", nullptr));
    ASSERT_TRUE(SetFileAttributes(u"\\Hidden", FILE_ATTRIBUTE_HIDDEN));
    WIN32_FIND_DATA before{};
    FindClose(FindFirstFile(u"\\kept", &before));
    Restart();
    EXPECT_EQ(GetFileAttributes(u"\\kept"), attributes);
    EXPECT_EQ(GetFileAttributes(u"\\Hidden"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    WIN32_FIND_DATA after{};
    FindClose(FindFirstFile(u"\\kept", &after));
    EXPECT_EQ(CompareFileTime(&before.ftCreationTime, &after.ftCreationTime), 0);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
    // Still enforced after the restart.
    EXPECT_EQ(LastErrorAfter([] { EXPECT_FALSE(DeleteFile(u"\\kept")); }), ERROR_ACCESS_DENIED);
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
    // A store file in the same folder sits beside the ROM files.
    ASSERT_TRUE(WriteText(u"\\Windows\\user.txt", "mine"));
    EXPECT_TRUE(stdfs::exists(Store() / "Windows" / "user.txt"));
    EXPECT_EQ(List(u"\\Windows\\*.*"), (std::vector<std::string>{"font.ttf", "user.txt"}));
    EXPECT_EQ(List(u"\\*.*"), (std::vector<std::string>{"boot.ini", "Windows"}));

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

// 200 Cyrillic characters are 400 bytes in UTF-8, over the host's 255 for a name.
TEST_F(HostFolder, NamesOverTheHostsLimitAreKeptAcrossARestart) {
    const std::u16string name(200, u'Я');
    const std::u16string folder = u"\\" + std::u16string(255, u'Ё');
    const std::u16string file = folder + u"\\" + name.substr(0, 2);
    ASSERT_TRUE(WriteText((u"\\" + name).c_str(), "long"));
    ASSERT_TRUE(SetFileAttributes((u"\\" + name).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectory(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFile((u"\\" + name).c_str(), file.c_str(), FALSE));
    Restart();
    const auto expected = std::vector<std::string>{"boot.ini", "Windows", platform::ToUtf8(folder.substr(1)),
                                                   platform::ToUtf8(name)};
    auto listed = List(u"\\*.*");
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Windows", "boot.ini", expected[2], expected[3]}));
    EXPECT_EQ(ReadText((u"\\" + std::u16string(200, u'я')).c_str()), "long");
    EXPECT_EQ(GetFileAttributes((u"\\" + name).c_str()), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ReadText(file.c_str()), "long");
    // On the host the name starts as it does here.
    size_t shortened = 0;
    for (const auto& entry : stdfs::directory_iterator(Store())) {
        shortened += entry.path().filename().string().rfind(platform::ToUtf8(name.substr(0, 100)), 0) == 0;
    }
    EXPECT_EQ(shortened, 1u);
    ASSERT_TRUE(DeleteFile(file.c_str()));
    ASSERT_TRUE(RemoveDirectory(folder.c_str()));
    Restart();
    EXPECT_EQ(GetFileAttributes(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadText((u"\\" + name).c_str()), "long");
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
