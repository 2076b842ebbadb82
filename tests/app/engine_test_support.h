// Scenarios of backup and restore: a handheld whose object store and the drive's disk (mounted
// at \Storage) are memory stores behind fault injection, a card device naming the folder, and
// the program's main loop driven through the automation path on the virtual clock.
#pragma once

#include <core/drive_folder.h>
#include <core/program_objects.h>
#include <core/shared_flags.h>
#include <resources/resource.h>

#include <platform/file_system.h>
#include <platform/memory_backend.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "app_test_support.h"
#include "gated_backend.h"
#include "support/faulty_backend.h"

namespace app_test {

using testing_support::FaultyBackend;

inline constexpr char16_t kBackupPath[] = u"\\Storage\\Field 3-18-1999 23.05";

// Writes a whole file through the file API; attributes set afterwards unless 0.
inline void PutFile(const std::u16string& path, const std::string& bytes, DWORD attributes = 0) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path) << " error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributes(path.c_str(), attributes));
    }
}

// Sets a file's last-write time to a local (= UTC on the test clock) date and time.
inline void SetWriteTime(const std::u16string& path, int year, int month, int day, int hour, int minute) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const SYSTEMTIME time = platform::MakeSystemTime(year, month, day, hour, minute);
    FILETIME stamp{};
    ASSERT_TRUE(SystemTimeToFileTime(&time, &stamp));
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
    CloseHandle(file);
}

// The whole content, or nothing when the file cannot be read.
inline std::optional<std::string> ReadWhole(const std::u16string& path) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::u16string& path) { return GetFileAttributes(path.c_str()) != 0xFFFFFFFF; }

inline void MakeFolder(const std::u16string& path) { ASSERT_TRUE(CreateDirectory(path.c_str(), nullptr)) << Utf8(path); }

class EngineTest : public HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        deviceGate = std::make_shared<GatedBackend>(std::make_shared<platform::MemoryBackend>());
        device = std::make_shared<FaultyBackend>(deviceGate);
        platform::MountRoot(device);
        disk = std::make_shared<FaultyBackend>(std::make_shared<platform::MemoryBackend>());
        ASSERT_EQ(platform::Mount(u"Storage", disk), 0u);
        auto card = std::make_shared<CountingCardDevice>(counts, CountingCardDevice::Behaviour::Answer,
                                                         Terminated(u"Storage"));
        ASSERT_NE(platform::RegisterInProcessDevice(u"CRD", 0, card), nullptr);
        automation::SetWindowShownObserver([this](const automation::WindowInfo& window) {
            std::lock_guard lock(logMutex);
            shown.push_back(window.templateId);
        });
    }
    void TearDown() override {
        deviceGate->Release();
        loop.reset();
        automation::SetWindowShownObserver(nullptr);
        platform::ResetFileSystem();
        HandheldTest::TearDown();
    }

    int TimesShown(int templateId) {
        std::lock_guard lock(logMutex);
        return static_cast<int>(std::count(shown.begin(), shown.end(), templateId));
    }

    void StartLoop() {
        loop = std::make_unique<UiThread<bool>>([] { return backupApplication.RunMainLoop(); });
    }
    automation::WindowInfo MainDialog(HWND before = nullptr) {
        return Expect(automation::WaitForWindow([before](const automation::WindowInfo& w) {
            return w.templateId == 101 && w.window != before;
        }), "the main dialog");
    }
    // Starts the program and taps Backup or Restore.
    HWND StartAction(int button) {
        StartLoop();
        const HWND main = MainDialog().window;
        Press(main, button);
        return main;
    }
    // Restore: chooses the first backup offered.
    void ChooseFirstBackup() {
        auto selection = Expect(automation::WaitForTemplate(IDD_SELECT_BACKUP), "the backup selection");
        Press(selection.window, IDOK);
    }
    // Waits for the closing message, gives its text, confirms it and waits for the program's end.
    std::u16string ClosingMessage() {
        auto message = Expect(automation::WaitForTemplate(IDD_MESSAGE), "the closing message");
        const std::u16string text = TextOf(message.window, IDC_MESSAGE_TEXT);
        Press(message.window, IDOK);
        EXPECT_TRUE(loop->Ended());
        return text;
    }
    // After a cancel: the main dialog comes back; Cancel on it ends the program silently.
    void BackAtMainDialogThenQuit(HWND before) {
        auto again = MainDialog(before);
        Press(again.window, IDCANCEL);
        EXPECT_FALSE(loop->Result());
        EXPECT_EQ(TimesShown(IDD_MESSAGE), 0);
    }

    std::shared_ptr<GatedBackend> deviceGate;
    std::shared_ptr<FaultyBackend> device;
    std::shared_ptr<FaultyBackend> disk;
    CardDeviceCounts counts;
    std::unique_ptr<UiThread<bool>> loop;
    std::mutex logMutex;
    std::vector<int> shown;
};

}  // namespace app_test
