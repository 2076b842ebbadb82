// QVSETUP driven as the installer drives it: the real library, loaded by file name.
#include <platform/installer.h>
#include <support/exported_symbols.h>
#include <support/registry_helpers.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>

namespace {

using platform::SetupAction;
using testing_support::LoadHive;
using testing_support::StringValue;
using testing_support::SubkeyNames;

constexpr const char16_t* kDetect = u"Drivers\\PCMCIA\\Detect";

std::string Hive(const std::string& entries) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect]\n\n" + entries;
}

std::string Entry(const std::string& number, const std::string& dll) {
    return "[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect\\" + number + "]\n\"Dll\"=\"" + dll +
           "\"\n\"Entry\"=\"Detect\"\n\n";
}

std::vector<std::string> Entries() { return SubkeyNames(HKEY_LOCAL_MACHINE, kDetect); }

std::optional<std::string> DllOf(const std::string& number) {
    const std::u16string path = std::u16string(kDetect) + u"\\" + platform::Utf16(number);
    return StringValue(HKEY_LOCAL_MACHINE, path.c_str(), u"Dll");
}

DWORD Install() {
    auto outcome = platform::RunSetupLibrary(u"QVSETUP.DLL", SetupAction::Install);
    EXPECT_TRUE(outcome.loaded) << outcome.error;
    return outcome.initCode;
}

DWORD Uninstall() {
    auto outcome = platform::RunSetupLibrary(u"qvsetup.dll", SetupAction::Uninstall);
    EXPECT_TRUE(outcome.loaded) << outcome.error;
    return outcome.initCode;
}

class Qvsetup : public ::testing::Test {
protected:
    void TearDown() override { platform::ResetRegistry(); }
};

TEST_F(Qvsetup, WithoutPlatformEntriesTheEntryIs49OrTheNextLowerFreeNumber) {
    LoadHive(Hive(""));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"49"});
    EXPECT_EQ(DllOf("49"), "QVCARD.DLL");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect\\49", u"Entry"), "DetectCard");

    LoadHive(Hive(Entry("49", "OTHER.DLL") + Entry("48", "MORE.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"49", "48", "47"}));
    EXPECT_EQ(DllOf("47"), "QVCARD.DLL");
    EXPECT_EQ(DllOf("49"), "OTHER.DLL");  // an existing key is left untouched
}

TEST_F(Qvsetup, TheEntryGoesDirectlyBelowTheLowestPlatformEntry) {
    LoadHive(Hive(Entry("65", "SRAMDISK.DLL") + Entry("60", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("59"), "QVCARD.DLL");

    LoadHive(Hive(Entry("60", "ATADISK.DLL") + Entry("65", "SRAMDISK.DLL") + Entry("59", "X.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("58"), "QVCARD.DLL");
    EXPECT_EQ(DllOf("59"), "X.DLL");

    LoadHive(Hive(Entry("60", "ATADISK.DLL") + Entry("20", "sramdisk.dll")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("19"), "QVCARD.DLL");
}

TEST_F(Qvsetup, PlatformDriverNamesMatchInAnyLetterCase) {
    LoadHive(Hive(Entry("30", "atadisk.dll") + Entry("40", "AtaDisk.Dll")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("29"), "QVCARD.DLL");
}

TEST_F(Qvsetup, ReinstallingReplacesTheLeftoverEvenBelowThePlatformEntries) {
    LoadHive(Hive(Entry("10", "qvcard.dll") + Entry("60", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"60", "59"}));

    EXPECT_EQ(Install(), 0u);  // and again: same place, one entry
    EXPECT_EQ(Entries(), (std::vector<std::string>{"60", "59"}));
}

// Every leftover goes, by the name it was found under (two of them, and one spelled 007).
TEST_F(Qvsetup, EveryLeftoverEntryIsDeletedByItsOwnName) {
    LoadHive(Hive(Entry("007", "QVCARD.DLL") + Entry("12", "QVCARD.DLL") + Entry("60", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"60", "59"}));
}

TEST_F(Qvsetup, RemovalDeletesTheEntryAndSucceedsWhenThereIsNone) {
    LoadHive(Hive(Entry("60", "ATADISK.DLL") + Entry("59", "QVCARD.DLL")));
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"60"});

    const std::string before = platform::ExportRegistryText();
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(platform::ExportRegistryText(), before);
}

TEST_F(Qvsetup, MissingDetectKeyCancelsBothAndChangesNothing) {
    LoadHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA]\n");
    const std::string before = platform::ExportRegistryText();
    auto install = platform::RunSetupLibrary(u"QVSETUP.DLL", SetupAction::Install);
    EXPECT_EQ(install.initCode, 1u);
    EXPECT_FALSE(install.proceeded);
    auto removal = platform::RunSetupLibrary(u"QVSETUP.DLL", SetupAction::Uninstall);
    EXPECT_EQ(removal.initCode, 1u);
    EXPECT_FALSE(removal.proceeded);
    EXPECT_EQ(platform::ExportRegistryText(), before);
}

TEST_F(Qvsetup, LowestPlatformEntryZeroLeavesNoNumberAndTheInstallFails) {
    LoadHive(Hive(Entry("0", "ATADISK.DLL") + Entry("5", "QVCARD.DLL")));
    EXPECT_EQ(Install(), 1u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"0"});  // the leftover was still removed

    // A name that does not begin with a digit counts as 0.
    LoadHive(Hive(Entry("ata", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 1u);
}

TEST_F(Qvsetup, KeysWithoutAReadableDllAreSkipped) {
    LoadHive(Hive("[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect\\30]\n\"Entry\"=\"x\"\n\n" +
                  Entry("60", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("59"), "QVCARD.DLL");

    // A Dll value over 200 bytes does not fit the buffer: that key is skipped too.
    LoadHive(Hive(Entry("30", "ATADISK.DLL" + std::string(100, ' ')) + Entry("60", "ATADISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("59"), "QVCARD.DLL");
}

TEST_F(Qvsetup, DllValueWithoutTerminatorIsReadWithinItsBuffer) {
    // "ATADISK.DLL" as 22 bytes of binary data with no terminator still names the ATA driver;
    // 200 bytes of letters without one are read safely and match nothing.
    std::string noTerminator = "hex:41,00,54,00,41,00,44,00,49,00,53,00,4b,00,2e,00,44,00,4c,00,4c,00";
    std::string full = "hex:41,00";
    for (int i = 1; i < 100; ++i) full += ",41,00";
    LoadHive(Hive("[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect\\40]\n\"Dll\"=" + noTerminator +
                  "\n\n[HKEY_LOCAL_MACHINE\\Drivers\\PCMCIA\\Detect\\20]\n\"Dll\"=" + full + "\n\n"));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("39"), "QVCARD.DLL");
}

TEST_F(Qvsetup, SurveyEndsAtASubkeyNameTooLongForItsBuffer) {
    LoadHive(Hive(Entry("60", "ATADISK.DLL") + Entry("TwentyCharactersLong", "X.DLL") +
                  Entry("30", "SRAMDISK.DLL")));
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(DllOf("59"), "QVCARD.DLL");  // entry 30 came after the survey ended
}

TEST_F(Qvsetup, ValuesAreStringsOf22Bytes) {
    LoadHive(Hive(""));
    ASSERT_EQ(Install(), 0u);
    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect\\49", 0, 0, &key), 0);
    for (const char16_t* name : {u"Dll", u"Entry"}) {
        DWORD type = 0, bytes = 0;
        ASSERT_EQ(RegQueryValueEx(key, name, nullptr, &type, nullptr, &bytes), 0);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(bytes, 22u);
    }
    RegCloseKey(key);
}

TEST(QvsetupLibrary, ExportsOnlyTheFourEntryPoints) {
    const auto exported = testing_support::ExportedSymbols(QVSETUP_FILE);
    ASSERT_TRUE(exported.has_value()) << "nm could not list " QVSETUP_FILE;
    EXPECT_EQ(*exported, (std::set<std::string>{"Install_Init", "Install_Exit", "Uninstall_Init",
                                               "Uninstall_Exit"}));
}

}  // namespace
