// The backup program started as the handheld starts any program: CreateProcess loads the
// module Tandel.exe, runs WinMain on a thread of its own and unloads the module at the end, so
// a second start constructs the program-wide objects afresh.
#include <platform/modules.h>
#include <program_launcher.h>

#include <dlfcn.h>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;

class ProgramStartTest : public app_test::HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        sim::UseHandheldProgramLauncher();  // help starts PegHelp.exe as on the handheld
    }

    HANDLE Start(const char16_t* program, const char16_t* commandLine = u"") {
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(CreateProcess(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  nullptr, &started))
            << "error " << GetLastError();
        if (started.hThread) CloseHandle(started.hThread);
        return started.hProcess;
    }
    DWORD Ended(HANDLE process) {
        EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        DWORD code = 12345;
        EXPECT_TRUE(GetExitCodeProcess(process, &code));
        CloseHandle(process);
        return code;
    }
};

TEST_F(ProgramStartTest, AMissingProgramIsFileNotFound) {
    PROCESS_INFORMATION started{};
    SetLastError(0);
    EXPECT_FALSE(CreateProcess(u"NoSuchProgram.exe", u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, &started));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProgramStartTest, TheProgramRunsTwiceInOneProcessEachTimeFromTheStart) {
    for (int run = 0; run < 2; ++run) {
        HANDLE process = Start(u"Tandel.exe");
        ASSERT_NE(process, nullptr);
        auto main = app_test::Expect(automation::WaitForTemplate(101), "the main dialog");
        EXPECT_EQ(main.title, u"Quorva CE Tandel");
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, STILL_ACTIVE);
        app_test::Press(main.window, 1007);
        auto message = app_test::Expect(automation::WaitForTemplate(104), "the closing message");
        EXPECT_EQ(app_test::TextOf(message.window, 1010), u"Application Error 15 \nNo Quorva drive found");
        app_test::Press(message.window, IDOK);
        EXPECT_EQ(Ended(process), 0u) << "run " << run;
        EXPECT_TRUE(automation::Windows().empty());
        // The module is gone from the process once the program has ended.
        auto file = platform::FindModuleFile(u"Tandel.exe");
        ASSERT_TRUE(file.has_value());
        void* stillLoaded = dlopen(file->c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_EQ(stillLoaded, nullptr) << "Tandel.exe stayed loaded";
        if (stillLoaded) dlclose(stillLoaded);
    }
}

TEST_F(ProgramStartTest, AltHOpensTheHelpFileInTheHelpViewer) {
    ASSERT_TRUE(CreateDirectory(u"\\Windows", nullptr));
    HANDLE file = CreateFile(u"\\Windows\\Quorva Tools for Windows CE.htc", GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char text[] = "How to back up.\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text, sizeof text - 1, &written, nullptr));
    CloseHandle(file);

    HANDLE process = Start(u"Tandel.exe");
    auto main = app_test::Expect(automation::WaitForTemplate(101), "the main dialog");
    automation::PressKey('H', automation::kAlt);
    auto help = app_test::Expect(automation::WaitForWindow([](const automation::WindowInfo& w) {
        return w.messageBox && w.title == u"Help";
    }), "the help viewer");
    EXPECT_EQ(app_test::MessageText(help.window), u"How to back up.");
    app_test::Press(help.window, IDOK);
    ASSERT_TRUE(automation::WaitGone(help.window));
    auto still = app_test::Expect(automation::WaitForTemplate(101), "the main dialog");
    EXPECT_EQ(still.window, main.window);
    app_test::Press(still.window, IDCANCEL);
    EXPECT_EQ(Ended(process), 0u);
}

}  // namespace
