// Names: long names with their 8.3 aliases chosen as Windows chooses them, look-up without
// regard to case that keeps the spelling, folders growing past a cluster, and a fixed root that
// refuses a new entry when full and changes nothing.
#include "fat_fixture.h"

#include <fs/fat/short_names.h>

#include <set>

namespace fat_tests {
namespace {

using platform::fat::ShortName;

std::string Text(const ShortName& name) { return std::string(name.begin(), name.end()); }

// The aliases of names created one after another in one folder.
std::vector<std::string> Aliases(const std::vector<std::u16string>& names) {
    std::set<std::string> taken;
    std::vector<std::string> aliases;
    for (const auto& name : names) {
        ShortName alias;
        EXPECT_TRUE(platform::fat::GenerateAlias(
            name, [&](const ShortName& n) { return taken.count(Text(n)) != 0; }, alias));
        taken.insert(Text(alias));
        aliases.push_back(Text(alias));
    }
    return aliases;
}

TEST(FatShortNames, AliasesFollowWindows) {
    struct Case {
        std::u16string name;
        const char* alias;
    };
    const Case cases[] = {
        {u"ReadMe.txt", "README  TXT"},        // fits as it is: no tail
        {u"Letter to Mom.txt", "LETTER~1TXT"},
        {u"archive.tar.gz", "ARCHIV~1GZ "},
        {u".profile", "PROFIL~1   "},
        {u"a+b=c.txt", "A_B_C~1 TXT"},
        {u"Résumé.doc", "R_SUM_~1DOC"},
        {u"verylongextension.html", "VERYLO~1HTM"},
    };
    for (const auto& c : cases) EXPECT_EQ(Aliases({c.name}).front(), c.alias);
}

TEST(FatShortNames, CollisionsGrowTheTailThenHash) {
    std::vector<std::u16string> names;
    for (int i = 1; i <= 7; ++i) names.push_back(u"Letter to Mom " + std::u16string(1, u'0' + i) + u".txt");
    const auto aliases = Aliases(names);
    EXPECT_EQ(aliases[0], "LETTER~1TXT");
    EXPECT_EQ(aliases[3], "LETTER~4TXT");
    for (size_t i = 4; i < aliases.size(); ++i) {
        EXPECT_EQ(aliases[i].substr(0, 2), "LE") << aliases[i];
        EXPECT_EQ(aliases[i].substr(6, 5), "~1TXT") << aliases[i];
    }
    EXPECT_EQ(std::set<std::string>(aliases.begin(), aliases.end()).size(), aliases.size());
}

TEST_F(FatVolumeTest, LongNamesKeepSpellingAndAnswerToTheirAlias) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_EQ(WriteWhole(u"\\Storage\\Letter to Mom.txt", "dear"), 0u);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFile(u"\\Storage\\LETTER TO MOM.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWhole(u"\\Storage\\LETTER~1.TXT"), "dear");
    const std::u16string longest(250 - 4, u'n');
    ASSERT_EQ(WriteWhole(u"\\Storage\\" + longest + u".txt", "long"), 0u);

    MountSnapshot();
    std::set<std::u16string> names;
    for (const auto& entry : List(u"\\Copy")) names.insert(entry.cFileName);
    EXPECT_EQ(names, (std::set<std::u16string>{u"Letter to Mom.txt", longest + u".txt"}));
    EXPECT_TRUE(FsckPasses());
}

TEST_F(FatVolumeTest, ManyNamesWithOnePrefixGrowTheFolderWithDistinctAliases) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\Many", nullptr));
    const std::u16string prefix = u"A shared prefix of exactly forty chars__";
    constexpr int kFiles = 300;  // about 1,200 slots: the folder spans several clusters
    for (int i = 0; i < kFiles; ++i) {
        const std::u16string name = prefix + platform::Utf16(std::to_string(i)) + u".dat";
        ASSERT_EQ(WriteWhole(u"\\Storage\\Many\\" + name, std::to_string(i)), 0u) << i;
    }
    ASSERT_TRUE(DeleteFile((u"\\Storage\\Many\\" + prefix + u"7.dat").c_str()));
    ASSERT_EQ(WriteWhole(u"\\Storage\\Many\\" + prefix + u"again.dat", "again"), 0u);
    MountSnapshot();
    EXPECT_EQ(List(u"\\Copy\\Many").size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(ReadWhole(u"\\Copy\\Many\\" + prefix + u"299.dat"), "299");
    EXPECT_TRUE(FsckPasses());
}

TEST_F(FatVolumeTest, FullFixedRootRefusesNewEntriesAndChangesNothing) {
    Format("-F 12 -r 16", 1440);
    int created = 0;
    DWORD error = 0;
    while ((error = WriteWhole(u"\\Storage\\F" + platform::Utf16(std::to_string(created)) + u".TXT", "x")) == 0) {
        ++created;
    }
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_GE(created, 15);
    const auto before = disk_->Bytes();
    SetLastError(kSentinel);
    EXPECT_FALSE(CreateDirectory(u"\\Storage\\SUB", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(disk_->Bytes(), before);
    EXPECT_FALSE(CopyFile(u"\\Storage\\F0.TXT", u"\\Storage\\A long copy name.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(List(u"\\Storage").size(), static_cast<size_t>(created));
    EXPECT_TRUE(FsckPasses());
}

}  // namespace
}  // namespace fat_tests
