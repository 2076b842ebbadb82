// The progress bar and the drop-down list, through their framework objects and a user's taps.
#include "ui_test_support.h"

#include <platform/ui/paint.h>

namespace {

using namespace ui_testing;

class Controls : public UiTest {};

class ProgressDialog : public RecordingDialog {
public:
    ProgressDialog() : RecordingDialog(105) {}
    ui::ProgressBar bar;
    std::function<void(ProgressDialog&)> check;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override { ui::ExchangeControl(exchange, 1008, bar); }
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        if (check) check(*this);
        return TRUE;
    }
};

TEST_F(Controls, ProgressBarDefaultsToZeroToAHundredAndClampsItsPosition) {
    ProgressDialog dialog;
    std::vector<int> seen;
    dialog.check = [&](ProgressDialog& self) {
        seen.push_back(self.bar.GetPos());
        self.bar.SetPos(40);
        seen.push_back(self.bar.GetPos());
        seen.push_back(self.bar.SetPos(150));  // the previous position
        seen.push_back(self.bar.GetPos());
        self.bar.SetPos(-5);
        seen.push_back(self.bar.GetPos());
        self.bar.SetRange(10, 20);
        self.bar.SetPos(5);
        seen.push_back(self.bar.GetPos());
        self.bar.SetRange(0, 100);
        self.bar.SetPos(70);
    };
    HWND window;
    auto thread = Show(dialog, &window);
    EXPECT_EQ(seen, (std::vector<int>{0, 40, 40, 100, 0, 10}));
    auto bar = automation::Control(window, 1008);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->className, u"MSCTLS_PROGRESS32");
    EXPECT_EQ(bar->position, 70);
    EXPECT_EQ(bar->low, 0);
    EXPECT_EQ(bar->high, 100);
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);
}

class SelectionDialog : public RecordingDialog {
public:
    SelectionDialog() : RecordingDialog(106) {}
    ui::ComboBox combo;
    std::vector<std::u16string> names;
    int chosenData = -1;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override { ui::ExchangeControl(exchange, 1009, combo); }
    BOOL OnInitDialog() override {
        RecordingDialog::OnInitDialog();
        for (size_t i = 0; i < names.size(); ++i) {
            const int item = combo.AddString(names[i].c_str());
            combo.SetItemData(item, i);
        }
        combo.SetCurSel(0);
        return TRUE;
    }
    void OnOK() override {
        const int selection = combo.GetCurSel();
        chosenData = selection < 0 ? -1 : static_cast<int>(combo.GetItemData(selection));
        RecordingDialog::OnOK();
    }
};

TEST_F(Controls, DropDownListKeepsOrderItemDataAndSelection) {
    SelectionDialog dialog;
    // Added in this order, and never sorted.
    dialog.names = {u"Field 3-18-1999 23.05", u"Fieldwork 3-18-1999 23.30", u"Field 1-1-1999 0.00"};
    HWND window;
    auto thread = Show(dialog, &window);
    auto combo = automation::Control(window, 1009);
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->items, dialog.names);
    EXPECT_EQ(combo->selection, 0);
    EXPECT_EQ(combo->rect.bottom - combo->rect.top, platform::ui::kComboClosedHeight);

    // Tap to drop the list; Escape closes it without choosing and leaves the dialog open.
    ASSERT_TRUE(automation::Click(combo->window));
    automation::Settle();
    EXPECT_TRUE(automation::Control(window, 1009)->dropped);
    Press(VK_DOWN);
    Press(VK_ESCAPE);
    EXPECT_FALSE(automation::Control(window, 1009)->dropped);
    EXPECT_EQ(automation::Control(window, 1009)->selection, 0);
    EXPECT_TRUE(IsWindow(window));

    // Dropped again, Down twice and Enter choose the third item; Enter again is OK.
    automation::Click(combo->window);
    automation::Settle();
    Press(VK_DOWN);
    Press(VK_DOWN);
    Press(VK_RETURN);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(automation::Control(window, 1009)->selection, 2);
    Press(VK_RETURN);
    EXPECT_EQ(thread->Result(), 1);
    EXPECT_EQ(dialog.chosenData, 2);
}

TEST_F(Controls, TappingAnItemOfTheDroppedListChoosesIt) {
    SelectionDialog dialog;
    dialog.names = {u"one", u"two", u"three"};
    HWND window;
    auto thread = Show(dialog, &window);
    auto combo = automation::Control(window, 1009);
    automation::Click(combo->window);
    automation::Settle();
    // Rows of the list start under the closed box.
    const POINT second{combo->rect.left + 20,
                       combo->rect.bottom + platform::ui::kListItemHeight + platform::ui::kListItemHeight / 2};
    ASSERT_TRUE(automation::ClickPoint(second));
    automation::Settle();
    EXPECT_FALSE(automation::Control(window, 1009)->dropped);
    EXPECT_EQ(automation::Control(window, 1009)->selection, 1);
    // Tapping OK.
    automation::Click(automation::Control(window, IDOK)->window);
    EXPECT_EQ(thread->Result(), 1);
    EXPECT_EQ(dialog.chosenData, 1);
}

TEST_F(Controls, EmptyListSelectsNothing) {
    SelectionDialog dialog;
    HWND window;
    auto thread = Show(dialog, &window);
    EXPECT_EQ(automation::Control(window, 1009)->selection, -1);
    Press(VK_RETURN);
    EXPECT_EQ(thread->Result(), 1);
    EXPECT_EQ(dialog.chosenData, -1);
}

TEST_F(Controls, DisabledButtonsIgnoreTaps) {
    RecordingDialog dialog(200);
    HWND window;
    auto thread = Show(dialog, &window);
    EXPECT_FALSE(automation::Click(GetDlgItem(window, 12)));
    automation::Settle();
    EXPECT_TRUE(IsWindow(window));
    ASSERT_TRUE(automation::Click(GetDlgItem(window, 13)));
    EXPECT_EQ(thread->Result(), 13);
}

}  // namespace
