#include <platform/modules.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

TEST(Modules, TheEntrySeesProcessAttachAtLoadAndDetachAtTheLastFree) {
    unsetenv("TESTMOD_EVENTS");
    auto events = [] { return std::string(getenv("TESTMOD_EVENTS") ? getenv("TESTMOD_EVENTS") : ""); };
    HMODULE first = LoadLibrary(u"TestMod.dll");
    HMODULE second = LoadLibrary(u"TESTMOD.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(events(), "1");  // once per process, however often it is loaded
    FreeLibrary(second);
    EXPECT_EQ(events(), "1");
    FreeLibrary(first);
    EXPECT_EQ(events(), "10");
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
