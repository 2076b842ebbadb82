// Test support for the backup program: a fresh handheld per test (virtual clock, registry with
// the device name, empty object store, no devices), dialogs run on a user-interface thread of
// their own while the test acts as the user through the automation API, and card devices that
// count how they are used.
#pragma once

#include <platform/clock.h>
#include <platform/devices.h>
#include <platform/file_system.h>
#include <platform/text.h>
#include <platform/ui/automation.h>
#include <ui_framework/application.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/registry_helpers.h"

namespace app_test {

namespace automation = platform::ui::automation;

inline constexpr char kDefaultHive[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Ident]
"Name"="Field"
)";

// What the help launcher was asked to start.
struct LaunchRecord {
    std::mutex mutex;
    std::vector<std::pair<std::u16string, std::u16string>> starts;
    bool succeed = true;
};

class HandheldTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = &platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
        testing_support::LoadHive(kDefaultHive);
        platform::ResetFileSystem();
        platform::ResetDevices();
        ui::SetProgramLauncher([this](const WCHAR* program, const WCHAR* commandLine) {
            std::lock_guard lock(launches_.mutex);
            launches_.starts.emplace_back(program, commandLine);
            return launches_.succeed;
        });
    }
    void TearDown() override {
        ui::SetProgramLauncher(nullptr);
        platform::ResetDevices();
        platform::UseRealClock();
    }

    platform::VirtualClock& Clock() { return *clock_; }
    LaunchRecord launches_;

private:
    platform::VirtualClock* clock_ = nullptr;
};

// Runs `work` on a user-interface thread of its own; Result() waits for it.
template <class T>
class UiThread {
public:
    template <class F>
    explicit UiThread(F work) : future_(std::async(std::launch::async, std::move(work))) {}
    ~UiThread() {
        if (future_.valid()) future_.wait();
    }
    bool Ended(int timeoutMs = 10000) {
        if (!future_.valid()) return true;  // its result was taken already
        return future_.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
    }
    T Result() {
        EXPECT_TRUE(Ended()) << "the dialog did not end";
        return future_.get();
    }

private:
    std::future<T> future_;
};

// A window that must come up: fails the test otherwise.
inline automation::WindowInfo Expect(std::optional<automation::WindowInfo> window, const char* what) {
    EXPECT_TRUE(window.has_value()) << what << " did not come up";
    return window.value_or(automation::WindowInfo{});
}

inline std::optional<automation::WindowInfo> WaitForMessageBox() {
    return automation::WaitForWindow([](const automation::WindowInfo& w) { return w.messageBox; });
}

// A tap on control `id` of the dialog.
inline bool Press(HWND dialog, int id) {
    auto control = automation::Control(dialog, id);
    return control && automation::Click(control->window);
}

inline std::u16string TextOf(HWND dialog, int id) {
    auto control = automation::Control(dialog, id);
    return control ? control->text : u"(no control " + platform::Utf16(std::to_string(id)) + u")";
}

// The text of a message box: its static text control's.
inline std::u16string MessageText(HWND box) {
    for (const auto& control : automation::Controls(box)) {
        if (platform::EqualsIgnoreCase(control.className, u"Static") && !control.text.empty()) return control.text;
    }
    return {};
}

inline RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

inline HICON IconOf(HWND window, bool big) {
    return reinterpret_cast<HICON>(SendMessage(window, WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0));
}

inline std::string Utf8(const std::u16string& text) { return platform::ToUtf8(text); }

// A card device CRD<n>: that counts its opens, closes and requests, and answers code 250 with
// a folder-name field of up to 128 units (written as given: a terminator only if given one).
struct CardDeviceCounts {
    std::atomic<int> opens{0}, closes{0}, requests{0};
};

class CountingCardDevice final : public platform::StreamDevice {
public:
    enum class Behaviour { Answer, FailOpen, FailRequest };

    CountingCardDevice(CardDeviceCounts& counts, Behaviour behaviour, std::u16string field = {})
        : counts_(counts), behaviour_(behaviour), field_(std::move(field)) {}

    DWORD_PTR Open(DWORD, DWORD) override {
        if (behaviour_ == Behaviour::FailOpen) {
            SetLastError(ERROR_DEV_NOT_EXIST);
            return 0;
        }
        ++counts_.opens;
        return 1;
    }
    BOOL Close(DWORD_PTR) override {
        ++counts_.closes;
        return TRUE;
    }
    BOOL IoControl(DWORD_PTR, DWORD code, BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD*) override {
        ++counts_.requests;
        lastCode = code;
        lastInSize = inSize;
        lastOut = out;
        lastOutSize = outSize;
        if (behaviour_ == Behaviour::FailRequest || code != 250 || in == nullptr || inSize < 272) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        zeroedOnArrival = std::all_of(in, in + 272, [](BYTE b) { return b == 0; });
        const size_t units = std::min<size_t>(field_.size(), 128);
        std::memcpy(in + 16, field_.data(), units * sizeof(char16_t));
        return TRUE;
    }

    DWORD lastCode = 0, lastInSize = 0, lastOutSize = 0;
    BYTE* lastOut = nullptr;
    bool zeroedOnArrival = false;

private:
    CardDeviceCounts& counts_;
    Behaviour behaviour_;
    std::u16string field_;
};

inline std::u16string Terminated(std::u16string text) {
    text.push_back(0);
    return text;
}

}  // namespace app_test
