// Close requests, data validation, ending during initialisation and templates that cannot be
// created.
#include "ui_test_support.h"

namespace {

using namespace ui_testing;

class DialogClosing : public UiTest {};

TEST_F(DialogClosing, CloseBoxRunsTheCloseHandlerAndBecomesCancel) {
    RecordingDialog dialog(101);
    HWND window;
    auto thread = Show(dialog, &window);
    auto info = automation::Window(window);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->closeBox);
    EXPECT_TRUE(info->helpButton);
    ASSERT_TRUE(automation::ClickCloseBox(window));
    EXPECT_EQ(thread->Result(), 2);
    EXPECT_EQ(dialog.closeRequests, 1);
    EXPECT_EQ(dialog.lastCommand, IDCANCEL);
}

TEST_F(DialogClosing, CloseMessageFromTheProgramTakesTheSamePath) {
    RecordingDialog dialog(104);
    HWND window;
    auto thread = Show(dialog, &window);
    PostMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(thread->Result(), 2);
    EXPECT_EQ(dialog.closeRequests, 1);
}

TEST_F(DialogClosing, NoCloseBoxWithoutTheSystemMenu) {
    RecordingDialog dialog(104);
    HWND window;
    auto thread = Show(dialog, &window);
    auto info = automation::Window(window);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->closeBox);
    EXPECT_FALSE(info->helpButton);
    EXPECT_FALSE(automation::ClickCloseBox(window));
    // A tap where a close box would be lands on the caption and does nothing.
    automation::ClickPoint(POINT{info->rect.right - 12, info->rect.top + 10});
    automation::Settle();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(dialog.closeRequests, 0);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

// The message dialog's text field, exchanged with control 1010 and limited to 255 characters.
class MessageDialog : public RecordingDialog {
public:
    MessageDialog() : RecordingDialog(104) {}
    ui::TextString text;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override {
        ui::ExchangeText(exchange, 1010, text);
        ui::ValidateMaxChars(exchange, text, 255);
    }
};

class ValidationTest : public DialogClosing {
protected:
    ui::Application application{u"VezazuZU", u"Quorva Tools for Windows CE.htc"};
};

TEST_F(ValidationTest, TextAtTheLimitPassesAndOneMoreIsRefusedWithTheMessage) {
    {
        MessageDialog dialog;
        dialog.text = ui::TextString(u'x', 255);
        HWND window;
        auto thread = Show(dialog, &window);
        EXPECT_EQ(automation::Control(window, 1010)->text.size(), 255u);
        Press(VK_RETURN);
        EXPECT_EQ(thread->Result(), 1);
        EXPECT_EQ(dialog.text.GetLength(), 255);
    }
    MessageDialog dialog;
    dialog.text = ui::TextString(u'x', 256);
    HWND window;
    auto thread = Show(dialog, &window);
    Press(VK_RETURN);
    auto box = automation::WaitForWindow([](const auto& w) { return w.messageBox; });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, u"VezazuZU");
    EXPECT_EQ(automation::Control(box->window, 0xFFFF)->text,
              u"Please enter no more than 255 characters.");
    EXPECT_TRUE(automation::Control(box->window, 0x0440).has_value());  // the icon
    EXPECT_FALSE(automation::Window(window)->enabled);  // the dialog waits for the box
    Press(VK_RETURN);
    ASSERT_TRUE(automation::WaitGone(box->window));
    automation::Settle();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(automation::Window(window)->enabled);
    EXPECT_EQ(FocusedId(window), 1010);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

TEST_F(DialogClosing, EndDialogDuringInitialisationEndsBeforeTheLoopRuns) {
    RecordingDialog dialog(101);
    dialog.onInit = [](RecordingDialog& self) { self.EndDialog(1234); };
    std::atomic<int> shown{0};
    automation::SetWindowShownObserver([&](const automation::WindowInfo&) { ++shown; });
    UiThread thread([&] { return dialog.DoModal(); });
    EXPECT_EQ(thread.Result(), 1234);
    automation::SetWindowShownObserver(nullptr);
    EXPECT_EQ(shown, 0);
}

TEST_F(DialogClosing, TemplatesThatCannotBeCreatedGiveMinusOne) {
    RecordingDialog missing(999);
    EXPECT_EQ(missing.DoModal(), -1);
    RecordingDialog broken(201);  // a control of an unknown class
    EXPECT_EQ(broken.DoModal(), -1);
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(999), nullptr, nullptr, 0), -1);
    EXPECT_TRUE(automation::Windows().empty());
}

TEST_F(DialogClosing, MessageBoxWithOnlyOkAnswersOkToEscape) {
    UiThread thread([] { return static_cast<INT_PTR>(MessageBox(nullptr, u"Two\nlines", u"Title", MB_OK)); });
    auto box = automation::WaitForTitle(u"Title");
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->messageBox);
    EXPECT_FALSE(automation::Control(box->window, 0x0440).has_value());  // no icon asked for
    automation::Settle();
    Press(VK_ESCAPE);
    EXPECT_EQ(thread.Result(), IDOK);
}

TEST_F(DialogClosing, HelpCommandStartsTheViewerOrSaysItFailed) {
    ui::Application application(u"VezazuZU", u"Quorva Tools for Windows CE.htc");
    std::u16string launched;
    ui::SetProgramLauncher([&](const WCHAR* program, const WCHAR* commandLine) {
        launched = std::u16string(program) + u" " + commandLine;
        return true;
    });
    EXPECT_TRUE(application.ExecuteCommand(ui::ID_HELP));
    EXPECT_EQ(launched, u"PegHelp.exe file:Quorva Tools for Windows CE.htc");

    ui::SetProgramLauncher(nullptr);
    UiThread thread([&] { return static_cast<INT_PTR>(application.ExecuteCommand(ui::ID_HELP)); });
    auto box = automation::WaitForWindow([](const auto& w) { return w.messageBox; });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->title, u"VezazuZU");
    EXPECT_EQ(automation::Control(box->window, 0xFFFF)->text, u"Failed to launch help.");
    automation::Settle();
    Press(VK_RETURN);
    EXPECT_EQ(thread.Result(), TRUE);
}

}  // namespace
