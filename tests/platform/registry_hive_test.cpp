#include <support/registry_helpers.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testing_support::LoadHive;
using testing_support::StringValue;

const char kSample[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Ident]
"Name"="Field \"Unit\" C:\\x é"
@="default"
"Count"=dword:deadbeef
"Blob"=hex:00,01,02,ff
"List"=hex(7):61,00,00,00,62,00,00,00,00,00

[HKEY_LOCAL_MACHINE\Empty]

[HKEY_LOCAL_MACHINE\Zeta]

[HKEY_LOCAL_MACHINE\Zeta\Child]
"Odd"=hex(1):41,00,42

[HKEY_LOCAL_MACHINE\Alpha]

[HKEY_CURRENT_USER\Settings]
"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\
  19,1a,1b,1c,1d,1e,1f

)";

class Hive : public ::testing::Test {
protected:
    void TearDown() override {
        platform::ResetRegistry();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_ = fs::temp_directory_path() / ("hive-test-" + std::to_string(getpid()));
};

TEST_F(Hive, TextRoundTripIsIdentical) {
    LoadHive(kSample);
    const std::string once = platform::ExportRegistryText();
    LoadHive(once);
    EXPECT_EQ(platform::ExportRegistryText(), once);
    // Creation order survives, not sorted order.
    EXPECT_EQ(testing_support::SubkeyNames(HKEY_LOCAL_MACHINE, u""),
              (std::vector<std::string>{"Ident", "Empty", "Zeta", "Alpha"}));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, u"Ident", u"Name"), "Field \"Unit\" C:\\x \u00e9");
    HKEY key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Settings", 0, 0, &key), 0);
    DWORD bytes = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"Long", nullptr, nullptr, nullptr, &bytes), 0);
    EXPECT_EQ(bytes, 32u);
    RegCloseKey(key);
}

TEST_F(Hive, OddStringDataRoundTripsAsHex) {
    LoadHive(kSample);
    EXPECT_NE(platform::ExportRegistryText().find("\"Odd\"=hex(1):41,00,42"), std::string::npos);
}

TEST_F(Hive, BoundFileReceivesEveryChangeAndLoadsBack) {
    fs::create_directories(folder_);
    const fs::path file = folder_ / "registry.reg";
    ASSERT_TRUE(platform::BindRegistryFile(file).ok);
    HKEY key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
    ASSERT_EQ(RegSetValueEx(key, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"Pad"), 8), 0);
    RegCloseKey(key);
    const std::string saved = platform::ExportRegistryText();

    platform::ResetRegistry();
    ASSERT_TRUE(platform::LoadRegistryFile(file).ok);
    EXPECT_EQ(platform::ExportRegistryText(), saved);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, u"Ident", u"Name"), "Pad");
}

TEST_F(Hive, MalformedTextNamesTheLineAndChangesNothing) {
    LoadHive(kSample);
    const std::string before = platform::ExportRegistryText();
    const struct {
        const char* text;
        size_t line;
        const char* says;
    } cases[] = {
        {"", 1, "REGEDIT4"},
        {"hello\n", 1, "REGEDIT4"},
        {"REGEDIT4\n\n\"Name\"=\"x\"\n", 3, "before any [key]"},
        {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", 2, "unknown root"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2, "]"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2, "bad key path"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=\"unterminated\n", 3, "not closed"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=\"a\\qb\"\n", 3, "escape"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=dword:123456789\n", 3, "dword"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=hex:0g\n", 3, "hex"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=hex:01,\\\n  zz\n", 3, "hex"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=float:1\n", 3, "unknown value data"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"\n", 3, "expected ="},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=\"\xff\"\n", 3, "UTF-8"},
        {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", 2, "not supported"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=\"x\" trailing\n", 3, "after the string"},
    };
    for (const auto& c : cases) {
        const auto result = platform::ImportRegistryText(c.text);
        EXPECT_FALSE(result.ok) << c.text;
        EXPECT_EQ(result.line, c.line) << c.text;
        EXPECT_NE(result.message.find("line " + std::to_string(c.line) + ":"), std::string::npos)
            << result.message;
        EXPECT_NE(result.message.find(c.says), std::string::npos) << result.message;
    }
    std::string huge = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"N\"=hex:00";
    for (int i = 0; i < 4096; ++i) huge += ",00";
    EXPECT_FALSE(platform::ImportRegistryText(huge).ok);
    EXPECT_EQ(platform::ExportRegistryText(), before);
}

TEST_F(Hive, MalformedFileIsReportedWithItsName) {
    fs::create_directories(folder_);
    const fs::path file = folder_ / "broken.reg";
    std::ofstream(file) << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nrubbish\n";
    const auto result = platform::BindRegistryFile(file);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("broken.reg"), std::string::npos);
    EXPECT_NE(result.message.find("line 3"), std::string::npos);
    EXPECT_FALSE(platform::LoadRegistryFile(folder_ / "missing.reg").ok);
}

}  // namespace
