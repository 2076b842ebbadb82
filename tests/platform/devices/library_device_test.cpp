// Stream drivers loaded from a library by file name and reached through the file API.
#include "test_driver_log.h"

#include <platform/devices.h>
#include <platform/registry_hive.h>
#include <support/registry_helpers.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class LibraryDevice : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibrary(u"TSTDRV.DLL");
        ASSERT_NE(module_, nullptr);
        auto logOf = reinterpret_cast<DriverLog* (*)()>(GetProcAddress(module_, u"TestDriverLog"));
        ASSERT_NE(logOf, nullptr);
        log_ = logOf();
        base_ = Counts();
    }
    void TearDown() override {
        platform::ResetDevices();
        FreeLibrary(module_);
    }

    struct Snapshot {
        int inits, deinits, opens, closes, controls;
    };
    Snapshot Counts() const {
        return {log_->inits, log_->deinits, log_->opens, log_->closes, log_->controls};
    }
    // Calls since the test began.
    Snapshot Since() const {
        const auto now = Counts();
        return {now.inits - base_.inits, now.deinits - base_.deinits, now.opens - base_.opens,
                now.closes - base_.closes, now.controls - base_.controls};
    }

    static HANDLE OpenTst(const char16_t* name = u"TST1:") {
        return CreateFile(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    }

    HMODULE module_ = nullptr;
    DriverLog* log_ = nullptr;
    Snapshot base_{};
    int context_ = 7;
};

TEST_F(LibraryDevice, ALoadedDriverIsReachedThroughTheFileApi) {
    HANDLE device = RegisterDevice(u"TST", 1, u"\\Windows\\tstdrv.dll", reinterpret_cast<DWORD_PTR>(&context_));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(log_->initContext, reinterpret_cast<DWORD_PTR>(&context_));

    HANDLE open = OpenTst(u"tst1:");
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(log_->lastAccess, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(log_->lastShare, FILE_SHARE_READ | FILE_SHARE_WRITE);

    BYTE in[4] = {1, 2, 3, 4}, out[8] = {};
    DWORD returned = 0;
    SetLastError(kSentinel);
    EXPECT_TRUE(DeviceIoControl(open, 1, in, 4, out, 8, &returned, nullptr));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(GetLastError(), kSentinel);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(open, 2, in, 4, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

    BYTE data[5] = {};
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(open, data, 5, &done, nullptr));
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(data[4], 4);
    SetLastError(kSentinel);
    EXPECT_FALSE(WriteFile(open, data, 5, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);

    EXPECT_TRUE(CloseHandle(open));
    EXPECT_TRUE(DeregisterDevice(device));
    const auto calls = Since();
    EXPECT_EQ(calls.inits, 1);
    EXPECT_EQ(calls.opens, 1);
    EXPECT_EQ(calls.controls, 2);
    EXPECT_EQ(calls.closes, 1);
    EXPECT_EQ(calls.deinits, 1);

    SetLastError(kSentinel);
    EXPECT_EQ(OpenTst(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_DEV_NOT_EXIST);
}

TEST_F(LibraryDevice, LoadingFailsWithTheReasonAndLeavesNoDevice) {
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"TST", 1, u"NOSUCH.DLL", 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"DSK", 1, u"TSTDRV.DLL", 1), nullptr);  // no DSK_ entries
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"TST", 1, u"TSTDRV.DLL", 0), nullptr);  // Init refuses
    EXPECT_EQ(GetLastError(), ERROR_BAD_UNIT);
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"TS", 1, u"TSTDRV.DLL", 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"TST", 10, u"TSTDRV.DLL", 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(OpenTst(), INVALID_HANDLE_VALUE);

    HANDLE device = RegisterDevice(u"TST", 1, u"TSTDRV.DLL", 1);
    ASSERT_NE(device, nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(RegisterDevice(u"tst", 1, u"TSTDRV.DLL", 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Since().deinits, 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeregisterDevice(reinterpret_cast<HANDLE>(0x1234)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(LibraryDevice, ActivationReadsTheDriverFromTheRegistry) {
    testing_support::LoadHive(R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Drivers\Test]
"Dll"="TstDrv.dll"
"Prefix"="TST"
"Index"=dword:00000003
)");
    HANDLE device = ActivateDevice(u"Drivers\\Test", reinterpret_cast<DWORD_PTR>(&context_));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(log_->initContext, reinterpret_cast<DWORD_PTR>(&context_));
    HANDLE open = OpenTst(u"TST3:");
    EXPECT_NE(open, INVALID_HANDLE_VALUE);
    CloseHandle(open);
    EXPECT_TRUE(DeactivateDevice(device));
    EXPECT_EQ(Since().deinits, 1);
    // Without an Index the first free number from 1 is taken.
    testing_support::LoadHive(R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Drivers\Test]
"Dll"="TstDrv.dll"
"Prefix"="TST"
)");
    HANDLE taken = RegisterDevice(u"TST", 1, u"TSTDRV.DLL", 1);
    HANDLE unnumbered = ActivateDevice(u"Drivers\\Test", 1);
    ASSERT_NE(unnumbered, nullptr);
    open = OpenTst(u"TST2:");
    EXPECT_NE(open, INVALID_HANDLE_VALUE);
    CloseHandle(open);
    DeactivateDevice(unnumbered);
    DeregisterDevice(taken);
    SetLastError(kSentinel);
    EXPECT_EQ(ActivateDevice(u"Drivers\\Missing", 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    platform::ResetRegistry();
}

TEST_F(LibraryDevice, DeregisteringClosesWhatIsStillOpen) {
    HANDLE device = RegisterDevice(u"TST", 2, u"TSTDRV.DLL", 1);
    HANDLE open = OpenTst(u"TST2:");
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(DeregisterDevice(device));
    EXPECT_EQ(Since().closes, 1);
    EXPECT_EQ(Since().deinits, 1);
    BYTE in[1] = {};
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(open, 1, in, 1, in, 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(open));
    EXPECT_EQ(Since().closes, 1);
}

TEST_F(LibraryDevice, ControlRequestsFromSeveralThreadsAllArrive) {
    HANDLE device = RegisterDevice(u"TST", 4, u"TSTDRV.DLL", 1);
    ASSERT_NE(device, nullptr);
    std::vector<std::thread> threads;
    std::atomic<int> answered{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            HANDLE open = OpenTst(u"TST4:");
            for (int i = 0; i < 100; ++i) {
                BYTE in[2] = {1, 2}, out[2] = {};
                DWORD returned = 0;
                if (DeviceIoControl(open, 1, in, 2, out, 2, &returned, nullptr)) ++answered;
            }
            CloseHandle(open);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(answered, 400);
    EXPECT_TRUE(DeregisterDevice(device));
}

TEST_F(LibraryDevice, ThePowerSwitchReachesEveryLiveDriver) {
    const int downs = log_->powerDowns, ups = log_->powerUps;
    HANDLE device = RegisterDevice(u"TST", 5, u"TSTDRV.DLL", 1);
    ASSERT_NE(device, nullptr);
    platform::PowerDownDevices();
    platform::PowerUpDevices();
    EXPECT_EQ(log_->powerDowns - downs, 1);
    EXPECT_EQ(log_->powerUps - ups, 1);
    ASSERT_TRUE(DeregisterDevice(device));
    platform::PowerDownDevices();
    EXPECT_EQ(log_->powerDowns - downs, 1);
}

TEST_F(LibraryDevice, ControlRequestsNeedADeviceHandle) {
    BYTE in[1] = {};
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(reinterpret_cast<HANDLE>(0x4321), 1, in, 1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(INVALID_HANDLE_VALUE, 1, in, 1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
