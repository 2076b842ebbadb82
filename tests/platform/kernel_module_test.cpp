#include <platform/modules.h>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

TEST(Modules, LoadsByCeFileNameInAnyCaseAndResolvesExports) {
    for (LPCWSTR name : {u"TestMod.dll", u"TESTMOD.DLL", u"\\Windows\\testmod.dll"}) {
        HMODULE module = LoadLibrary(name);
        ASSERT_NE(module, nullptr);
        auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, u"TestAnswer"));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST(Modules, MissingModuleAndMissingExportAreReported) {
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibrary(u"NOSUCH.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);

    HMODULE module = LoadLibrary(u"TestMod.dll");
    ASSERT_NE(module, nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(module, u"NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    // Only marked entry points leave a module.
    EXPECT_EQ(GetProcAddress(module, u"DllMain"), nullptr);
    FreeLibrary(module);
}

TEST(Modules, EntryAnsweringFalseFailsTheLoad) {
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibrary(u"FAILINIT.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), 1114u);
}

TEST(Modules, FileNamesMatchOnlyAsAWhole) {
    EXPECT_FALSE(platform::FindModuleFile(u"TestMod"));
    EXPECT_FALSE(platform::FindModuleFile(u""));
    EXPECT_TRUE(platform::FindModuleFile(u"testmod.DLL"));
}

}  // namespace
