#include <support/registry_helpers.h>

#include <cstring>

namespace {

using testing_support::LoadHive;
using testing_support::SubkeyNames;

constexpr BYTE kFill = 0xAB;

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        LoadHive(R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Ident]
"Name"="Field"
"Number"=dword:0000002a

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect\60]
"Dll"="ATADISK.DLL"
)");
    }
    void TearDown() override { platform::ResetRegistry(); }

    HKEY Open(const char16_t* path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key), 0);
        return key;
    }
};

TEST_F(Registry, KeysAndValuesMatchIgnoringCaseAndKeepTheirSpelling) {
    HKEY key = Open(u"ident");
    WCHAR text[16];
    DWORD bytes = sizeof text, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, u"NAME", nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(std::u16string(text), u"Field");
    RegCloseKey(key);
    EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE, u"DRIVERS\\pcmcia"), std::vector<std::string>{"Detect"});
}

TEST_F(Registry, ShortBufferGives234WithTheSizeAndWritesNothing) {
    HKEY key = Open(u"Ident");
    BYTE buffer[16];
    std::memset(buffer, kFill, sizeof buffer);
    DWORD bytes = 11;  // one short of "Field" and its terminator
    EXPECT_EQ(RegQueryValueEx(key, u"Name", nullptr, nullptr, buffer, &bytes), ERROR_MORE_DATA);
    EXPECT_EQ(bytes, 12u);
    for (BYTE b : buffer) EXPECT_EQ(b, kFill);

    bytes = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"Name", nullptr, nullptr, nullptr, &bytes), 0);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(RegQueryValueEx(key, u"Name", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(Registry, MissingKeysValuesAndBadHandles) {
    HKEY key = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Nope", 0, 0, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(0x1));
    key = Open(u"Ident");
    DWORD bytes = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueEx(key, u"Nope", nullptr, nullptr, data, &bytes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(key, u"Name", nullptr, nullptr, data, &bytes), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, BadPathsAndOverlongData) {
    HKEY key;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"A\\\\B", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\A", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    const std::u16string longName(256, u'k');
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, 0, nullptr, &key,
                             nullptr),
              ERROR_INVALID_PARAMETER);
    key = Open(u"Ident");
    std::vector<BYTE> big(4097, 1);
    EXPECT_EQ(RegSetValueEx(key, u"Big", 0, REG_BINARY, big.data(), 4097), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, u"Big", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, u"Big", 0, REG_BINARY, big.data(), 4096), 0);
    RegCloseKey(key);
}

TEST_F(Registry, CreateReportsDispositionAndMakesIntermediateKeys) {
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Quorva\\Tools", 0, nullptr, 0, 0,
                             nullptr, &key, &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"software\\QUORVA\\tools", 0, nullptr, 0, 0,
                             nullptr, &key, &disposition), 0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
    EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE, u"Software"), std::vector<std::string>{"Quorva"});
}

TEST_F(Registry, EnumerationInCreationOrderWithNameBufferRules) {
    HKEY detect = Open(u"Drivers\\PCMCIA\\Detect");
    for (const char16_t* name : {u"7", u"12345", u"3"}) {
        HKEY sub;
        ASSERT_EQ(RegCreateKeyEx(detect, name, 0, nullptr, 0, 0, nullptr, &sub, nullptr), 0);
        RegCloseKey(sub);
    }
    EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect"),
              (std::vector<std::string>{"60", "7", "12345", "3"}));

    WCHAR name[8];
    std::fill(std::begin(name), std::end(name), u'#');
    DWORD chars = 5;  // "12345" needs six with its terminator
    EXPECT_EQ(RegEnumKeyEx(detect, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(name[0], u'#');
    chars = 6;
    EXPECT_EQ(RegEnumKeyEx(detect, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(chars, 5u);
    EXPECT_EQ(std::u16string(name), u"12345");
    chars = 8;
    EXPECT_EQ(RegEnumKeyEx(detect, 4, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(detect);
}

TEST_F(Registry, EnumeratingWhileDeletingSeesEachRemainingKeyOnce) {
    HKEY detect = Open(u"Drivers\\PCMCIA\\Detect");
    for (const char16_t* name : {u"1", u"2", u"3", u"4"}) {
        HKEY sub;
        RegCreateKeyEx(detect, name, 0, nullptr, 0, 0, nullptr, &sub, nullptr);
        RegCloseKey(sub);
    }
    // Delete every second key while walking by index: indexes shift down after each deletion.
    std::vector<std::u16string> seen;
    for (DWORD index = 0;; ++index) {
        WCHAR name[20];
        DWORD chars = 20;
        if (RegEnumKeyEx(detect, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != 0) break;
        seen.push_back(name);
        if (seen.size() % 2 == 0) {
            ASSERT_EQ(RegDeleteKey(detect, name), 0);
            --index;
        }
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"60", u"1", u"2", u"3", u"4"}));
    EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect"),
              (std::vector<std::string>{"60", "2", "4"}));
    RegCloseKey(detect);
}

TEST_F(Registry, DeletingAKeyTakesItsSubtreeAndStalesOpenHandles) {
    HKEY entry = Open(u"Drivers\\PCMCIA\\Detect\\60");
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA"), 0);
    EXPECT_EQ(SubkeyNames(HKEY_LOCAL_MACHINE, u"Drivers"), std::vector<std::string>{});
    DWORD bytes = 0;
    EXPECT_EQ(RegQueryValueEx(entry, u"Dll", nullptr, nullptr, nullptr, &bytes), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(entry), 0);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u""), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, ValuesOfEveryTypeAreStoredAsGiven) {
    HKEY key = Open(u"Ident");
    const DWORD number = 0x01020304;
    const BYTE multi[] = {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0};
    ASSERT_EQ(RegSetValueEx(key, u"D", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
    ASSERT_EQ(RegSetValueEx(key, u"M", 0, REG_MULTI_SZ, multi, sizeof multi), 0);
    ASSERT_EQ(RegSetValueEx(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(u"dflt"), 10), 0);
    DWORD type, value, bytes = 4;
    ASSERT_EQ(RegQueryValueEx(key, u"d", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &bytes), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, number);
    BYTE back[16];
    bytes = sizeof back;
    ASSERT_EQ(RegQueryValueEx(key, u"M", nullptr, &type, back, &bytes), 0);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(bytes, sizeof multi);
    EXPECT_EQ(std::memcmp(back, multi, sizeof multi), 0);
    bytes = sizeof back;
    ASSERT_EQ(RegQueryValueEx(key, u"", nullptr, &type, back, &bytes), 0);
    EXPECT_EQ(bytes, 10u);
    EXPECT_EQ(RegDeleteValue(key, u"M"), 0);
    EXPECT_EQ(RegDeleteValue(key, u"M"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

}  // namespace
