// Automation scripts against a program showing the sample dialogs.
#include "ui_test_support.h"

#include <platform/ui/script.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace ui_testing;

class Scripts : public UiTest {
protected:
    // Runs `script` against a program that shows the main dialog and, after Restore, the
    // confirm dialog; gives the exit code and fills `log`.
    int Run(const std::string& script) {
        const auto file = std::filesystem::temp_directory_path() /
                          ("ui_script_" + std::to_string(::getpid()) + ".script");
        std::ofstream(file) << script;
        log.str("");
        auto program = [] {
            RecordingDialog main(101);
            if (main.DoModal() != 1003) return 0;
            RecordingDialog confirm(139);
            return static_cast<int>(confirm.DoModal());
        };
        const int code = platform::ui::automation::RunProgramUnderScript(program, file.string(), log);
        std::filesystem::remove(file);
        return code;
    }
    std::ostringstream log;
};

TEST_F(Scripts, APassingScriptLogsEveryWindowAndItsTexts) {
    const int code = Run(
        "# comments and blank lines are skipped\n"
        "\n"
        "wait template 101\n"
        "expect title \"Quorva CE Tandel\"\n"
        "expect 1003 \"&Restore\"\n"
        "press Restore   # by caption, without its ampersand\n"
        "wait title \"Confirm Replace\" within 2000\n"
        "key Tab\n"
        "key Enter\n"
        "end\n");
    EXPECT_EQ(code, 0) << log.str();
    const std::string text = log.str();
    EXPECT_NE(text.find("shown: \"Quorva CE Tandel\" (template 101)\n"
                        "  1007 Button \"&Backup\"\n"
                        "  1003 Button \"&Restore\"\n"
                        "  2 Button \"&Cancel\"\n"),
              std::string::npos)
        << text;
    // Each action is echoed before what it brings up.
    const size_t main = text.find("(template 101)"), press = text.find("> press Restore\n"),
                 confirm = text.find("shown: \"Confirm Replace\" (template 139)");
    EXPECT_LT(main, press) << text;
    EXPECT_LT(press, confirm) << text;
    EXPECT_NE(confirm, std::string::npos) << text;
    EXPECT_NE(text.find("> wait title \"Confirm Replace\" within 2000\n"), std::string::npos) << text;
}

TEST_F(Scripts, AShownListPrintsItsItemsAndTheSelectedOne) {
    RecordingDialog dialog(106);
    HWND window = nullptr;
    auto thread = Show(dialog, &window);
    for (const char16_t* item : {u"Field 1-2-1999 10.00", u"Field 3-4-1999 11.30"}) {
        SendDlgItemMessage(window, 1009, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendDlgItemMessage(window, 1009, CB_SETCURSEL, 1, 0);
    const std::string text = platform::ui::automation::DescribeWindow(*platform::ui::automation::Window(window));
    EXPECT_NE(text.find("  1009 ComboBox \"\"\n"
                        "      \"Field 1-2-1999 10.00\"\n"
                        "    * \"Field 3-4-1999 11.30\"\n"),
              std::string::npos)
        << text;
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(Scripts, FailuresStopTheRunWithTheLineAndWhatWasShown) {
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"wait template 101\npresss 1007\n", ":2: unknown action 'presss'"},
        {"wait template 101\n\npress\n", ":3: press: missing the control (an id or a caption)"},
        {"wait template 101\nexpect 1007 \"&Restore\"\n",
         ":2: expect 1007: expected \"&Restore\", shown \"&Backup\""},
        {"wait template 101\nexpect title\n", ":2: expect: missing the expected text"},
        {"wait template 104 within 50\n",
         ":1: wait: expected template 104 within 50 ms, shown: \"Quorva CE Tandel\""},
        {"wait template 101\nkey Hyper+Q\n", ":2: key: unknown modifier 'Hyper'"},
        {"wait template 101\nkey Hyper\n", ":2: key: unknown key 'Hyper'"},
        {"wait template 101\npress 4242\n", ":2: press: no control 4242 in \"Quorva CE Tandel\""},
        {"wait template 101\nexpect 1007 \"unclosed\n", ":2: a quoted text is not closed"},
        {"wait template 101\nend within 30\n", ":2: end: expected the program to end within 30 ms"},
        {"wait template 101\nwait caption x\n", ":2: wait: wait for a title or a template, not 'caption'"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.script);
        EXPECT_EQ(Run(test.script), 1);
        EXPECT_NE(log.str().find(test.message), std::string::npos) << log.str();
        EXPECT_NE(log.str().find("script failed: "), std::string::npos);
    }
}

TEST_F(Scripts, AScriptThatLeavesTheProgramRunningFails) {
    EXPECT_EQ(Run("wait template 101\n"), 1);
    EXPECT_NE(log.str().find("the program did not end after the script"), std::string::npos) << log.str();
}

TEST_F(Scripts, AMissingScriptFileIsReported) {
    std::ostringstream out;
    EXPECT_EQ(platform::ui::automation::RunProgramUnderScript([] { return 0; }, "/nonexistent/x.script", out), 2);
    EXPECT_NE(out.str().find("cannot be read"), std::string::npos);
}

TEST_F(Scripts, CloseAndSnapshotActions) {
    const auto picture = std::filesystem::temp_directory_path() / ("ui_script_" + std::to_string(::getpid()) + ".png");
    const int code = Run("wait template 101\nsnapshot \"" + picture.string() + "\"\nclose\nend\n");
    EXPECT_EQ(code, 0) << log.str();
    EXPECT_TRUE(std::filesystem::exists(picture));
    std::filesystem::remove(picture);
}

}  // namespace

// Ending a session: Cancel reaches each dialog in turn through its command, as its button
// would send it, until the program has ended.
TEST_F(Scripts, EndingASessionCancelsEachDialogInTurn) {
    RecordingDialog question(139), main(101);
    std::atomic<bool> ended{false};
    INT_PTR answers[2] = {};
    std::thread program([&] {
        answers[0] = question.DoModal();
        answers[1] = main.DoModal();
        ended = true;
    });
    EXPECT_TRUE(platform::ui::automation::CancelUntilEnded([&] { return ended.load(); }));
    program.join();
    EXPECT_EQ(answers[0], IDCANCEL);
    EXPECT_EQ(answers[1], IDCANCEL);
    EXPECT_EQ(question.lastCommand, IDCANCEL);
    EXPECT_EQ(main.lastCommand, IDCANCEL);
}
