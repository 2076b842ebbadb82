// The CE dialog functions used directly, without the framework: a dialog procedure, the
// procedure's result slot, item functions and stale handles.
#include "ui_test_support.h"

namespace {

using namespace ui_testing;

class DialogApi : public UiTest {};

struct Seen {
    std::atomic<int> initParameter{0};
    std::atomic<int> closes{0};
    std::atomic<int> cancels{0};
};

BOOL RawProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtr(dialog, DWL_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtr(dialog, DWL_USER, lParam);
            reinterpret_cast<Seen*>(lParam)->initParameter = 1;
            SetDlgItemText(dialog, 1010, u"from the procedure");
            return TRUE;
        case WM_CLOSE:
            ++seen->closes;
            return FALSE;  // the default processing turns it into IDCANCEL
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) ++seen->cancels;
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam) + 100);
            return TRUE;
        default:
            return FALSE;
    }
}

TEST_F(DialogApi, DialogProcedureSeesInitialisationCloseAndCommands) {
    Seen seen;
    UiThread thread([&] {
        return DialogBoxParam(nullptr, MAKEINTRESOURCE(104), nullptr, RawProc, reinterpret_cast<LPARAM>(&seen));
    });
    auto shown = automation::WaitForTemplate(104);
    ASSERT_TRUE(shown);
    automation::Settle();
    EXPECT_EQ(seen.initParameter, 1);
    WCHAR text[64];
    EXPECT_EQ(GetDlgItemText(shown->window, 1010, text, 64), 18u);
    EXPECT_EQ(std::u16string(text), u"from the procedure");
    EXPECT_EQ(GetDlgItemText(shown->window, 4242, text, 64), 0u);
    EXPECT_EQ(text[0], 0);
    PostMessage(shown->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(thread.Result(), IDCANCEL + 100);
    EXPECT_EQ(seen.closes, 1);
    EXPECT_EQ(seen.cancels, 1);
}

TEST_F(DialogApi, ChildEnumerationAndStaleHandles) {
    RecordingDialog dialog(106);
    HWND window;
    auto thread = Show(dialog, &window);
    std::vector<int> ids;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<int>*>(list)->push_back(GetDlgCtrlID(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ids));
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 1009, -1}));
    HWND ok = GetDlgItem(window, IDOK);
    EXPECT_EQ(GetParent(ok), window);
    EXPECT_TRUE(IsWindowEnabled(ok));
    Press(VK_ESCAPE);
    EXPECT_EQ(thread->Result(), 2);

    // Handles are never reused: the old dialog's handles now fail cleanly.
    SetLastError(0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(SetWindowText(ok, u"x"));
    EXPECT_EQ(GetDlgItem(window, IDOK), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(EndDialog(window, 1));
    EXPECT_EQ(SetTimer(window, 1, 10, nullptr), 0u);
}

}  // namespace
