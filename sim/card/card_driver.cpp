#include "card_driver.h"

#include <cardserv.h>
#include <cedevice.h>
#include <ceddk.h>
#include <platform/fat_volume.h>
#include <winreg.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace qvcard {
namespace {

constexpr int kInitAttempts = 40;      // QVATAPI resets a silent drive at most every 2 s;
constexpr DWORD kInitRetryMs = 250;    // 40 x 250 ms lets a drive that needs up to ~8 s answer
constexpr DWORD kTaskFileSignatureLow = 4, kTaskFileSignatureHigh = 5;

DWORD ContextTransfer(DriveContext* context, DWORD code, DiskRequest* request) {
    CardDriver* driver = CardDriver::OfContext(context);
    return driver == nullptr ? ERROR_BAD_UNIT : driver->Transfer(code, request);
}

// The folder the drive's disk appears under: HKEY_LOCAL_MACHINE\Drivers\PCMCIA\QVCARD\Folder,
// else "Storage"; a second socket's drive gets its number after it.
std::u16string FolderFor(DWORD socket) {
    std::u16string folder = u"Storage";
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\QVCARD", 0, 0, &key) == 0) {
        WCHAR text[128] = {};
        DWORD bytes = sizeof(text) - sizeof(WCHAR);
        DWORD type = 0;
        if (RegQueryValueEx(key, u"Folder", nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes) == 0 &&
            type == REG_SZ && text[0] != 0) {
            folder = text;
        }
        RegCloseKey(key);
    }
    if (socket != 0) folder += static_cast<char16_t>(u'1' + socket);
    return folder;
}

// A packet device leaves 0x14/0xEB in the byte-count registers after its power-on reset; a
// plain ATA disk leaves 0.
bool ShowsPacketSignature(PUCHAR registers) {
    bool packet = true;
    platform::GuardRegisterAccess([&] {
        packet = READ_REGISTER_UCHAR(registers + kTaskFileSignatureLow) == 0x14 &&
                 READ_REGISTER_UCHAR(registers + kTaskFileSignatureHigh) == 0xEB;
    });
    return packet;
}

}  // namespace

CardDriver::CardDriver(DWORD socket) : socket_(socket) { InitializeCriticalSection(&record_.socketLock); }

CardDriver::~CardDriver() {
    Detach();
    DeleteCriticalSection(&record_.socketLock);
}

CardDriver* CardDriver::OfContext(const DriveContext* context) {
    CardDriver* driver = nullptr;
    std::memcpy(&driver, context->cardDriverArea0, sizeof driver);
    return driver;
}

bool CardDriver::Attach() {
    PUCHAR registers = nullptr, control = nullptr;
    BOOL wide = FALSE;
    if (!CardMapIoWindow(socket_, &registers, &control, &wide)) return false;
    record_.socketWideBus = wide ? 1 : 0;
    SetSocketState(record_, SOCKET_STATE_USABLE);

    context_ = new DriveContext{};
    CardDriver* self = this;
    static_assert(sizeof self <= sizeof(DriveContext::cardDriverArea0));
    std::memcpy(context_->cardDriverArea0, &self, sizeof self);
    context_->registerWindow = registers;
    context_->controlRegister = control;
    context_->socket = &record_;
    context_->deviceKind = ShowsPacketSignature(registers) ? 0 : DEVICE_KIND_ATA;
    folder_ = FolderFor(socket_);
    const size_t units = std::min<size_t>(folder_.size(), 127);
    std::memcpy(context_->folderName, folder_.data(), units * sizeof(char16_t));
    context_->readWriteHandler = ContextTransfer;

    if (!BringUpDrive() || !OfferDevices()) {
        const DWORD error = GetLastError();
        Detach();
        SetLastError(error != 0 ? error : ERROR_NOT_READY);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        Mount();
    }
    watcher_ = std::thread([this] { Watch(); });
    return true;
}

bool CardDriver::BringUpDrive() {
    if (!library_.Load()) return false;
    for (int attempt = 0; attempt < kInitAttempts; ++attempt) {
        if (library_.init(context_) == 1) {
            library_.checkMedia(context_);
            return true;
        }
        if (!CardIsPresent(socket_)) break;
        Sleep(kInitRetryMs);
    }
    SetLastError(ERROR_NOT_READY);
    return false;
}

bool CardDriver::OfferDevices() {
    for (DWORD index = 1; index <= 9 && disk_ == nullptr; ++index) {
        disk_ = RegisterDevice(u"DSK", index, u"QVDISK.DLL", reinterpret_cast<DWORD_PTR>(context_));
        if (disk_ != nullptr) diskName_ = u"DSK" + std::u16string(1, static_cast<char16_t>(u'0' + index)) + u":";
        else if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    if (disk_ == nullptr) return false;
    card_ = RegisterDevice(u"CRD", socket_, u"QVCARD.DLL", reinterpret_cast<DWORD_PTR>(this));
    return card_ != nullptr;
}

void CardDriver::Mount() {
    if (mounted_ || tornDown_ || context_->mediumPresent == 0) return;
    mounted_ = platform::MountFatVolume(folder_, diskName_) == 0;
}

void CardDriver::Unmount() {
    if (!mounted_) return;
    platform::UnmountFatVolume(folder_);
    mounted_ = false;
}

void CardDriver::CheckMedium() {
    if (tornDown_) return;
    if (!CardIsPresent(socket_) || SocketStateOf(record_) != SOCKET_STATE_USABLE) {
        TearDown();
        return;
    }
    library_.checkMedia(context_);
    // QVATAPI changes the medium state under the socket's lock, also in a block request of
    // another thread running now: read it under the same lock.
    EnterCriticalSection(&record_.socketLock);
    const bool present = context_->mediumPresent != 0;
    LeaveCriticalSection(&record_.socketLock);
    if (!present) {
        Unmount();
    } else {
        Mount();
    }
}

DWORD CardDriver::Transfer(DWORD code, DiskRequest* request) {
    // busyCount: block requests inside the handler (what Command 252 and Detach wait for).
    std::atomic_ref<DWORD> busy(context_->busyCount);
    busy.fetch_add(1);
    const DWORD result = code == DISK_IOCTL_READ ? library_.read(context_, request)
                                                 : library_.write(context_, request);
    busy.fetch_sub(1);
    // "Not ready" is how the drive reports a medium change; "device not found" a card gone.
    if (result == ERROR_NOT_READY || result == ERROR_BAD_UNIT) Wake();
    return result;
}

BOOL CardDriver::Control(DWORD code, BYTE* in, DWORD inSize) {
    if (code == kCardRescanCode || code == kCardFormatCode) {
        std::unique_lock lock(mutex_, std::defer_lock);
        if (!LockUnlessGoing(lock)) {
            SetLastError(ERROR_BAD_UNIT);
            return FALSE;
        }
        const DWORD error = code == kCardFormatCode ? Format(reinterpret_cast<const WCHAR*>(in), inSize) : 0;
        if (error == 0) CheckMedium();
        if (error == 0 && mounted_) return TRUE;
        SetLastError(error != 0 ? error : ERROR_NOT_READY);
        return FALSE;
    }
    if (code < 250 || code > 255 || in == nullptr || inSize < sizeof(CommandRecord)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD result = library_.command(context_, code, reinterpret_cast<CommandRecord*>(in));
    if (result != 0) {
        SetLastError(result);
        return FALSE;
    }
    return TRUE;
}

bool CardDriver::LockUnlessGoing(std::unique_lock<std::mutex>& lock) {
    while (!lock.try_lock()) {
        if (tornDown_.load()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !tornDown_.load();
}

DWORD CardDriver::Format(const WCHAR* label, DWORD labelBytes) {
    std::u16string text;
    for (DWORD i = 0; label != nullptr && i < labelBytes / sizeof(WCHAR) && label[i] != 0; ++i) text += label[i];
    Unmount();
    return platform::FormatFatVolume(diskName_, text);
}

void CardDriver::Wake() {
    {
        std::lock_guard lock(wakeMutex_);
        checkDue_ = true;
    }
    wakeChanged_.notify_all();
}

void CardDriver::Watch() {
    std::unique_lock lock(wakeMutex_);
    while (!stop_) {
        // Real time: the watch stands for the socket's own status interrupt, not for the
        // handheld's clock, which tests drive by hand.
        wakeChanged_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_ || checkDue_; });
        if (stop_) break;
        checkDue_ = false;
        lock.unlock();
        {
            std::lock_guard work(mutex_);
            CheckMedium();
        }
        lock.lock();
    }
}

void CardDriver::TearDown() {
    if (tornDown_.load() || context_ == nullptr) return;
    tornDown_ = true;
    // Waits still running in QVATAPI end at once with "device not found".
    SetSocketState(record_, 0);
    Unmount();
    if (card_ != nullptr) DeregisterDevice(card_);
    // Deregistering waits for block requests still in the handler.
    if (disk_ != nullptr) DeregisterDevice(disk_);
    card_ = disk_ = nullptr;
    if (library_.close != nullptr) library_.close(context_);
    library_.Unload();
}

void CardDriver::Detach() {
    {
        std::lock_guard lock(wakeMutex_);
        stop_ = true;
    }
    wakeChanged_.notify_all();
    if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) watcher_.join();
    {
        std::lock_guard lock(mutex_);
        TearDown();
    }
    if (context_ == nullptr) return;
    // The devices are gone, so no new request reaches the handler; one still inside it holds
    // the context until it has left.
    while (BusyCountOf(*context_) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    delete context_;
    context_ = nullptr;
}

}  // namespace qvcard
