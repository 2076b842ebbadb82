// A small program on the simulated handheld, written against the CE API and the UI framework
// only: a main dialog with Backup, Restore and Cancel, a progress dialog fed by a worker
// thread, a selection list and a closing message. Run it under a script:
//   ui_demo --script demo.script
#include <platform/clock.h>
#include <platform/ui/automation.h>
#include <platform/ui/presenter.h>
#include <platform/ui/script.h>
#include <ui_framework.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <future>
#include <iostream>
#include <thread>

namespace {

constexpr UINT IDD_MAIN = 101, IDD_MESSAGE = 104, IDD_PROGRESS = 105, IDD_SELECT = 106;
constexpr int IDC_BACKUP = 1007, IDC_RESTORE = 1003, IDC_MESSAGE_TEXT = 1010;
constexpr int IDC_PROGRESS = 1008, IDC_BACKUPS = 1009, ID_SHOW_HELP = 1022;
constexpr COLORREF kTransparent = 0x00FF00FF;

constexpr UINT WM_PROGRESS_TICK = WM_APP, WM_PROGRESS_STOP = WM_APP + 1;

// The worker takes one step for each tick of the progress dialog, so the work moves with the
// dialog's own clock and cannot end before the dialog has been seen.
std::atomic<uint32_t> progressPercent{0};
std::atomic<DWORD> workerThread{0};

// The logo with its magenta pixels left transparent, through memory contexts and block
// transfers only.
void DrawLogoMasked(HDC target, int x, int y) {
    HBITMAP logo = LoadBitmap(GetModuleHandle(nullptr), MAKEINTRESOURCE(136));
    if (!logo) return;
    BITMAP info{};
    GetObject(logo, sizeof info, &info);
    const int w = info.bmWidth, h = info.bmHeight;
    HDC image = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(image, logo);
    HDC mask = CreateCompatibleDC(target);
    HBITMAP maskBits = CreateBitmap(w, h, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(mask, maskBits);
    SetBkColor(image, kTransparent);
    BitBlt(mask, 0, 0, w, h, image, 0, 0, SRCCOPY);
    HDC cut = CreateCompatibleDC(target);
    HBITMAP cutBits = CreateCompatibleBitmap(image, w, h);
    HGDIOBJ oldCut = SelectObject(cut, cutBits);
    BitBlt(cut, 0, 0, w, h, image, 0, 0, SRCCOPY);
    BitBlt(cut, 0, 0, w, h, mask, 0, 0, 0x00220326);
    HDC back = CreateCompatibleDC(target);
    HBITMAP backBits = CreateCompatibleBitmap(image, w, h);
    HGDIOBJ oldBack = SelectObject(back, backBits);
    BitBlt(back, 0, 0, w, h, target, x, y, SRCCOPY);
    BitBlt(back, 0, 0, w, h, mask, 0, 0, SRCAND);
    BitBlt(back, 0, 0, w, h, cut, 0, 0, SRCINVERT);
    BitBlt(target, x, y, w, h, back, 0, 0, SRCCOPY);
    SelectObject(mask, oldMask);
    SelectObject(cut, oldCut);
    SelectObject(back, oldBack);
    SelectObject(image, oldImage);
    DeleteObject(backBits);
    DeleteDC(back);
    DeleteObject(cutBits);
    DeleteDC(cut);
    DeleteObject(maskBits);
    DeleteDC(mask);
    DeleteDC(image);
    DeleteObject(logo);
}

class MainDialog : public ui::Dialog {
public:
    MainDialog()
        : Dialog(IDD_MAIN),
          icon_(LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(102))),
          accelerators_(LoadAccelerators(GetModuleHandle(nullptr), MAKEINTRESOURCE(101))) {}

protected:
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        SetIcon(icon_, true);
        SetIcon(icon_, false);
        CenterWindow();
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        const int id = LOWORD(wParam);
        if (id == IDC_BACKUP || id == IDC_RESTORE) {
            EndDialog(id);
            return TRUE;
        }
        if (id == ID_SHOW_HELP) {
            ui::Application::Current()->OnHelp();
            return TRUE;
        }
        return Dialog::OnCommand(wParam, lParam);
    }
    BOOL PreTranslateMessage(MSG* message) override {
        return accelerators_ && TranslateAccelerator(GetSafeHwnd(), accelerators_, message);
    }
    void OnPaint(HDC dc) override { DrawLogoMasked(dc, 150, 17); }

private:
    HICON icon_;
    HACCEL accelerators_;
};

class ProgressDialog : public ui::Dialog {
public:
    ProgressDialog() : Dialog(IDD_PROGRESS) { progressPercent = 0; }

protected:
    void DoDataExchange(ui::DataExchange& exchange) override { ui::ExchangeControl(exchange, IDC_PROGRESS, bar_); }
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        SetTimer(2, 1000);
        return TRUE;
    }
    void OnTimer(UINT_PTR) override {
        bar_.SetPos(static_cast<int>(progressPercent.load()));
        if (progressPercent >= 100) EndDialog(IDOK);
        PostThreadMessage(workerThread, WM_PROGRESS_TICK, 0, 0);
    }
    void OnCancel() override {
        PostThreadMessage(workerThread, WM_PROGRESS_STOP, 0, 0);
        EndDialog(IDCANCEL);
    }

private:
    ui::ProgressBar bar_;
};

class MessageDialog : public ui::Dialog {
public:
    MessageDialog() : Dialog(IDD_MESSAGE) {}
    ui::TextString text;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override {
        ui::ExchangeText(exchange, IDC_MESSAGE_TEXT, text);
        ui::ValidateMaxChars(exchange, text, 255);
    }
};

class SelectionDialog : public ui::Dialog {
public:
    SelectionDialog() : Dialog(IDD_SELECT) {}
    ui::TextString selected;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override { ui::ExchangeControl(exchange, IDC_BACKUPS, combo_); }
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        names_.RemoveAll();
        names_.AddTail(ui::TextString(u"Field 3-18-1999 23.05"));
        names_.AddTail(ui::TextString(u"Field 1-1-2000 0.00"));
        int index = 0;
        for (auto at = names_.GetHeadPosition(); at != 0; ++index) {
            combo_.SetItemData(combo_.AddString(names_.GetNext(at)), static_cast<DWORD_PTR>(index));
        }
        combo_.SetCurSel(0);
        return TRUE;
    }
    void OnOK() override {
        const int item = combo_.GetCurSel();
        if (item >= 0) selected = names_.GetAt(static_cast<int>(combo_.GetItemData(item)));
        Dialog::OnOK();
    }

private:
    ui::ComboBox combo_;
    ui::StringList names_;
};

DWORD Worker(LPVOID) {
    MSG message;
    while (progressPercent < 100 && GetMessage(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_PROGRESS_STOP) break;
        if (message.message == WM_PROGRESS_TICK) progressPercent += 25;
    }
    return 0;
}

void ShowMessage(const ui::TextString& text) {
    MessageDialog message;
    message.text = text;
    message.DoModal();
}

class DemoApplication : public ui::Application {
public:
    DemoApplication() : Application(u"VezazuZU", u"Quorva Tools for Windows CE.htc") {}

    bool Startup() override {
        MainDialog main;
        for (;;) {
            const INT_PTR button = main.DoModal();
            if (button == IDC_BACKUP) {
                ProgressDialog progress;
                DWORD workerId = 0;
                HANDLE worker = CreateThread(nullptr, 0, Worker, nullptr, 0, &workerId);
                workerThread = workerId;
                const INT_PTR result = progress.DoModal();
                WaitForSingleObject(worker, INFINITE);
                CloseHandle(worker);
                if (result == IDCANCEL) continue;
                ui::TextString done;
                done.LoadString(1);
                ShowMessage(done);
                return false;
            }
            if (button == IDC_RESTORE) {
                SelectionDialog selection;
                if (selection.DoModal() != IDOK) continue;
                ShowMessage(ui::TextString(u"Chosen: ") + selection.selected);
                return false;
            }
            return false;  // Cancel, or the dialog could not be shown
        }
    }
};

DemoApplication application;

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--script") == 0) {
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
        return platform::ui::automation::RunProgramUnderScript([] { return ui::RunApplication(); },
                                                               argv[2], std::cout);
    }
    if (argc == 2 && std::strcmp(argv[1], "--terminal") == 0) {
        std::promise<int> exit;
        auto exitCode = exit.get_future();
        std::thread program([&] { exit.set_value(ui::RunApplication()); });
        auto ended = [&] { return exitCode.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        platform::ui::automation::WaitUntil([] { return !platform::ui::automation::Windows().empty(); });
        platform::ui::RunTerminalPresenter(ended, std::cin, std::cout);
        while (!ended()) {
            for (const auto& window : platform::ui::automation::Windows()) EndDialog(window.window, IDCANCEL);
            exitCode.wait_for(std::chrono::milliseconds(20));
        }
        program.join();
        return exitCode.get();
    }
    if (argc != 1) {
        std::cerr << "usage: ui_demo [--script FILE | --terminal]\n"
                     "  without either the screen is shown in a window\n";
        return 2;
    }
    std::promise<int> exit;
    auto exitCode = exit.get_future();
    std::thread program([&] { exit.set_value(ui::RunApplication()); });
    auto ended = [&] { return exitCode.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    const auto shown = platform::ui::RunWindowPresenter([&] { return !ended(); });
    if (!shown.error.empty()) std::cerr << "ui_demo: " << shown.error << "\n";
    // Closed, or nobody can answer the program's dialogs: end them as Cancel would.
    if (!platform::ui::automation::CancelUntilEnded(ended)) {
        while (!ended()) {
            for (const auto& window : platform::ui::automation::Windows()) EndDialog(window.window, IDCANCEL);
            exitCode.wait_for(std::chrono::milliseconds(20));
        }
    }
    program.join();
    return shown.error.empty() ? exitCode.get() : 3;
}
