// The message dialog: its text in control 1010, OK with the 255-character limit, Escape.
#include <dialogs/message_dialog.h>

#include "app_test_support.h"

namespace {

namespace automation = app_test::automation;

class MessageDialogTest : public app_test::HandheldTest {};

INT_PTR ShowText(const ui::TextString& text, const std::function<void(const automation::WindowInfo&)>& user) {
    app_test::UiThread<INT_PTR> ui([text] {
        MessageDialog dialog;
        dialog.text = text;
        return dialog.DoModal();
    });
    user(app_test::Expect(automation::WaitForTemplate(104), "the message dialog"));
    return ui.Result();
}

TEST_F(MessageDialogTest, AnEmptyDialogClosesWithOk) {
    EXPECT_EQ(ShowText(u"", [](const automation::WindowInfo& d) {
                  EXPECT_EQ(app_test::TextOf(d.window, 1010), u"");
                  app_test::Press(d.window, IDOK);
              }),
              1);
}

TEST_F(MessageDialogTest, TwoHundredFiftyFiveCharactersCloseWithOkAndEnter) {
    const ui::TextString text(u'a', 255);
    EXPECT_EQ(ShowText(text, [](const automation::WindowInfo& d) { app_test::Press(d.window, IDOK); }), 1);
    EXPECT_EQ(ShowText(text, [](const automation::WindowInfo&) { automation::PressKey(VK_RETURN); }), 1);
}

TEST_F(MessageDialogTest, TwoHundredFiftySixCharactersKeepTheDialogOpenUntilEscape) {
    const ui::TextString text(u'a', 256);
    EXPECT_EQ(ShowText(text,
                       [](const automation::WindowInfo& d) {
                           app_test::Press(d.window, IDOK);
                           auto box = app_test::Expect(app_test::WaitForMessageBox(), "the validation message");
                           EXPECT_EQ(box.title, u"VezazuZU");
                           EXPECT_EQ(app_test::MessageText(box.window), u"Please enter no more than 255 characters.");
                           app_test::Press(box.window, IDOK);
                           ASSERT_TRUE(automation::WaitGone(box.window));
                           auto again = app_test::Expect(automation::WaitForTemplate(104), "the message dialog");
                           EXPECT_EQ(again.window, d.window) << "the dialog stays open";
                           automation::PressKey(VK_ESCAPE);
                       }),
              2);
}

TEST_F(MessageDialogTest, EscapeGivesTwoAndThereIsNoCloseBox) {
    EXPECT_EQ(ShowText(u"Operation Complete",
                       [](const automation::WindowInfo& d) {
                           EXPECT_FALSE(d.closeBox);
                           EXPECT_FALSE(automation::ClickCloseBox(d.window));
                           automation::PressKey(VK_ESCAPE);
                       }),
              2);
}

}  // namespace
