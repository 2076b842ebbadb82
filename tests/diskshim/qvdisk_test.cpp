// QVDISK as the file system meets it: registered as a DSK device with a drive context, opened
// and sent disk control requests through the device manager. Handles that are not live can only
// be sent by calling the entry points directly, so those cases load the library by name.
#include <cedevice.h>
#include <diskio.h>
#include <drive/drive_context.h>
#include <gtest/gtest.h>
#include <platform/devices.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "support/exported_symbols.h"

namespace {

struct Entries {
    HMODULE module = LoadLibrary(u"QVDISK.DLL");
    template <class Fn>
    Fn Get(const char16_t* name) const { return reinterpret_cast<Fn>(GetProcAddress(module, name)); }
    PFN_XXX_INIT init = Get<PFN_XXX_INIT>(u"DSK_Init");
    PFN_XXX_DEINIT deinit = Get<PFN_XXX_DEINIT>(u"DSK_Deinit");
    PFN_XXX_OPEN open = Get<PFN_XXX_OPEN>(u"DSK_Open");
    PFN_XXX_CLOSE close = Get<PFN_XXX_CLOSE>(u"DSK_Close");
    PFN_XXX_IOCONTROL ioControl = Get<PFN_XXX_IOCONTROL>(u"DSK_IOControl");
    ~Entries() { FreeLibrary(module); }
};

// What the handler saw, and what it answers.
struct HandlerLog {
    DWORD code = 0;
    DiskRequest* request = nullptr;
    DWORD answer = 0;
};
HandlerLog handlerLog;

DWORD RecordingHandler(DriveContext*, DWORD code, DiskRequest* request) {
    handlerLog.code = code;
    handlerLog.request = request;
    return handlerLog.answer;
}

DWORD_PTR Handle(DriveContext& context) { return reinterpret_cast<DWORD_PTR>(&context); }

class Qvdisk : public ::testing::Test {
protected:
    void SetUp() override {
        context_.readWriteHandler = RecordingHandler;
        context_.diskInfo = {81920, 512, 160, 16, 32, DISK_INFO_FLAG_UNFORMATTED | 0x3};
        handlerLog = {};
        device_ = RegisterDevice(u"DSK", 1, u"QVDISK.DLL", Handle(context_));
        ASSERT_NE(device_, nullptr) << GetLastError();
        disk_ = CreateFile(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(disk_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        CloseHandle(disk_);
        if (device_) DeregisterDevice(device_);
    }
    // DeviceIoControl's outcome: 0 for success, else the last error.
    DWORD Control(DWORD code, void* in, DWORD inSize) {
        SetLastError(0);
        return DeviceIoControl(disk_, code, in, inSize, nullptr, 0, nullptr, nullptr) ? 0 : GetLastError();
    }

    DriveContext context_{};
    HANDLE device_ = nullptr;
    HANDLE disk_ = INVALID_HANDLE_VALUE;
    Entries dsk_;
};

TEST(QvdiskModule, ExportsOnlyTheStreamEntryPoints) {
    const auto exported = testing_support::ExportedSymbols(QVDISK_FILE);
    ASSERT_TRUE(exported.has_value()) << "nm could not list " QVDISK_FILE;
    EXPECT_EQ(*exported, (std::set<std::string>{"DSK_Init", "DSK_Deinit", "DSK_Open", "DSK_Close",
                                               "DSK_Read", "DSK_Write", "DSK_Seek", "DSK_PowerUp",
                                               "DSK_PowerDown", "DSK_IOControl"}));
}

TEST_F(Qvdisk, HandlesThatAreNotLiveAreRefused) {
    DriveContext never{};
    DriveContext retired{};
    ASSERT_EQ(dsk_.init(Handle(retired)), Handle(retired));
    ASSERT_TRUE(dsk_.deinit(Handle(retired)));
    for (DriveContext* context : {&never, &retired}) {
        const DWORD_PTR handle = Handle(*context);
        EXPECT_EQ(dsk_.open(handle, 0, 0), 0u);
        EXPECT_FALSE(dsk_.close(handle));
        EXPECT_FALSE(dsk_.deinit(handle));
        DiskInfo info{};
        SetLastError(0);
        EXPECT_FALSE(dsk_.ioControl(handle, DISK_IOCTL_GETINFO, reinterpret_cast<PBYTE>(&info),
                                    sizeof info, nullptr, 0, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST_F(Qvdisk, InitialisingTwiceKeepsTheContextOnceWithNoOpens) {
    DriveContext other{};
    ASSERT_EQ(dsk_.init(Handle(other)), Handle(other));
    ASSERT_EQ(dsk_.open(Handle(other), 0, 0), Handle(other));
    ASSERT_EQ(dsk_.init(Handle(other)), Handle(other));
    EXPECT_EQ(other.openCount, 0u);
    EXPECT_EQ(other.listLink, &context_);  // at the head again, the device's context behind it
    EXPECT_TRUE(dsk_.deinit(Handle(other)));
    EXPECT_FALSE(dsk_.deinit(Handle(other)));  // once removed, it was in the list only once
}

TEST_F(Qvdisk, ControlBeforeOpenFailsWithInvalidHandle) {
    DiskInfo info{};
    // The device manager's open is the only one: close it, and the context has none.
    CloseHandle(disk_);
    disk_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(context_.openCount, 0u);
    SetLastError(0);
    EXPECT_FALSE(dsk_.ioControl(Handle(context_), DISK_IOCTL_GETINFO, reinterpret_cast<PBYTE>(&info),
                                sizeof info, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Qvdisk, CloseAtZeroOpensSucceedsAndStaysAtZero) {
    CloseHandle(disk_);
    disk_ = INVALID_HANDLE_VALUE;
    ASSERT_EQ(context_.openCount, 0u);
    EXPECT_TRUE(dsk_.close(Handle(context_)));
    EXPECT_EQ(context_.openCount, 0u);
}

TEST_F(Qvdisk, DiskInformationGoesOutAndComesInAsSixWords) {
    DiskInfo info{};
    EXPECT_EQ(Control(DISK_IOCTL_GETINFO, &info, sizeof info), 0u);
    EXPECT_EQ(info.totalSectors, 81920u);
    EXPECT_EQ(info.diskFlags, DISK_INFO_FLAG_UNFORMATTED | 0x3);

    const DiskInfo replacement{100, 2048, 1, 2, 3, 0x10};
    DiskInfo in = replacement;
    EXPECT_EQ(Control(DISK_IOCTL_SETINFO, &in, sizeof in), 0u);
    EXPECT_EQ(std::memcmp(&context_.diskInfo, &replacement, sizeof replacement), 0);
}

TEST_F(Qvdisk, ShortOrMissingBuffersAndUnknownCodesFailWith87) {
    const DiskInfo before = context_.diskInfo;
    DiskInfo info{};
    struct Case {
        DWORD code;
        void* in;
        DWORD inSize;
    } cases[] = {
        {DISK_IOCTL_INITIALIZED, &info, sizeof info},
        {99, &info, sizeof info},
        {DISK_IOCTL_GETINFO, &info, sizeof info - 1},  // shorter than the six words
        {DISK_IOCTL_SETINFO, &info, sizeof info - 4},
        {DISK_IOCTL_GETINFO, nullptr, sizeof info},
        {DISK_IOCTL_READ, nullptr, 0},
        {DISK_IOCTL_WRITE, nullptr, 0},
        {DISK_IOCTL_FORMAT_MEDIA, nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Control(c.code, c.in, c.inSize), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << "code " << c.code;
    }
    EXPECT_EQ(std::memcmp(&context_.diskInfo, &before, sizeof before), 0);
    EXPECT_EQ(handlerLog.request, nullptr);
}

TEST_F(Qvdisk, FormatClearsOnlyTheUnformattedFlag) {
    context_.diskInfo.diskFlags = 0xFFFFFFFF;
    const DiskInfo before = context_.diskInfo;
    BYTE anything = 0;
    EXPECT_EQ(Control(DISK_IOCTL_FORMAT_MEDIA, &anything, 1), 0u);
    DiskInfo expected = before;
    expected.diskFlags = 0xFFFFFFFF & ~DISK_INFO_FLAG_UNFORMATTED;
    EXPECT_EQ(std::memcmp(&context_.diskInfo, &expected, sizeof expected), 0);
}

TEST_F(Qvdisk, BlockRequestsReachTheHandlerUntouchedAndItsResultIsTheLastError) {
    for (DWORD code : {DISK_IOCTL_READ, DISK_IOCTL_WRITE}) {
        for (DWORD answer : {DWORD{0}, DWORD{21}, ERR_DEVICE}) {
            DiskRequestWith<2> request;
            request.startSector = 7;
            const auto copy = request;
            handlerLog = {0, nullptr, answer};
            EXPECT_EQ(Control(code, request.request(), sizeof request), answer);
            EXPECT_EQ(handlerLog.code, code);
            EXPECT_EQ(handlerLog.request, request.request());
            EXPECT_EQ(std::memcmp(&request, &copy, sizeof request), 0);
        }
    }
}

// Two block requests wait inside the handler together while a third thread deregisters the
// device: deregistration waits for both, and the context leaves the live set only then.
std::mutex gateMutex;
std::condition_variable gateChanged;
int inHandler = 0;
bool released = false;

DWORD GatedHandler(DriveContext*, DWORD, DiskRequest*) {
    std::unique_lock lock(gateMutex);
    ++inHandler;
    gateChanged.notify_all();
    gateChanged.wait(lock, [] { return released; });
    --inHandler;
    return 0;
}

TEST_F(Qvdisk, DeregisteringWaitsForBlockRequestsInTheHandler) {
    context_.readWriteHandler = GatedHandler;
    std::atomic<int> succeeded{0};
    auto request = [&] {
        DiskRequestWith<1> r;
        if (DeviceIoControl(disk_, DISK_IOCTL_READ, r.request(), sizeof r, nullptr, 0, nullptr, nullptr)) ++succeeded;
    };
    std::thread first(request), second(request);
    {
        std::unique_lock lock(gateMutex);
        gateChanged.wait(lock, [] { return inHandler == 2; });
    }
    std::atomic<bool> deregistered{false};
    std::thread third([&, device = device_] {
        DeregisterDevice(device);
        deregistered = true;
    });
    device_ = nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(deregistered.load());
    EXPECT_TRUE(dsk_.open(Handle(context_), 0, 0) != 0);  // still live while requests run
    {
        std::lock_guard lock(gateMutex);
        released = true;
    }
    gateChanged.notify_all();
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(succeeded.load(), 2);
    EXPECT_FALSE(dsk_.deinit(Handle(context_)));  // the device manager's Deinit removed it
    SetLastError(0);
    DiskRequestWith<1> r;
    EXPECT_FALSE(DeviceIoControl(disk_, DISK_IOCTL_READ, r.request(), sizeof r, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
