// The device manager: the table of named stream devices and the handles opened on them.
#include "device_manager.h"

#include "../fs/io_handle.h"
#include "library_device.h"

#include <cedevice.h>
#include <platform/devices.h>
#include <platform/text.h>
#include <winbase.h>
#include <winreg.h>

#include <map>
#include <mutex>
#include <shared_mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform::devices {
namespace {

class DeviceOpen;

// One registered device. Calls into the driver hold the gate shared; deregistering holds it
// alone, so the driver is never deinitialised under a running call.
struct DeviceEntry {
    std::u16string name;  // "CRD0", upper case
    std::shared_ptr<StreamDevice> device;
    std::shared_mutex gate;
    bool gone = false;
    std::unordered_map<const DeviceOpen*, DWORD_PTR> opens;  // guarded by the gate
};

struct DeviceTable {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<DeviceEntry>> byName;
    std::map<uintptr_t, std::shared_ptr<DeviceEntry>> byHandle;
    uintptr_t nextHandle = 0x10000;
};

DeviceTable& Table() {
    static DeviceTable* table = new DeviceTable;
    return *table;
}

class DeviceOpen final : public fs::IoHandle {
public:
    explicit DeviceOpen(std::shared_ptr<DeviceEntry> entry) : entry_(std::move(entry)) {}

    // Runs a call on the driver with this handle's open context, or fails with 6 when the
    // device has gone or the handle was closed by its deregistration.
    template <class Call>
    auto WithOpen(Call call, decltype(call(DWORD_PTR{})) failed) {
        std::shared_lock lock(entry_->gate);
        auto it = entry_->opens.find(this);
        if (entry_->gone || it == entry_->opens.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return failed;
        }
        return call(it->second);
    }

    BOOL Read(void* buffer, DWORD count, DWORD& done) override {
        const DWORD got = WithOpen([&](DWORD_PTR open) {
            return entry_->device->Read(open, buffer, count);
        }, 0xFFFFFFFFu);
        done = got == 0xFFFFFFFFu ? 0 : got;
        return got != 0xFFFFFFFFu;
    }
    BOOL Write(const void* buffer, DWORD count, DWORD& done) override {
        const DWORD put = WithOpen([&](DWORD_PTR open) {
            return entry_->device->Write(open, buffer, count);
        }, 0xFFFFFFFFu);
        done = put == 0xFFFFFFFFu ? 0 : put;
        return put != 0xFFFFFFFFu;
    }
    DWORD Seek(LONG distance, LONG*, DWORD method) override {
        return WithOpen([&](DWORD_PTR open) {
            return entry_->device->Seek(open, distance, method);
        }, 0xFFFFFFFFu);
    }
    BOOL IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* actual) {
        return WithOpen([&](DWORD_PTR open) {
            return entry_->device->IoControl(open, code, static_cast<BYTE*>(in), inSize,
                                             static_cast<BYTE*>(out), outSize, actual);
        }, FALSE);
    }
    DWORD Close() override {
        std::unique_lock lock(entry_->gate);
        auto it = entry_->opens.find(this);
        if (it == entry_->opens.end()) return 0;
        const DWORD_PTR open = it->second;
        entry_->opens.erase(it);
        if (!entry_->gone) entry_->device->Close(open);
        return 0;
    }

    void Opened(DWORD_PTR open) { entry_->opens[this] = open; }

private:
    std::shared_ptr<DeviceEntry> entry_;
};

std::u16string Upper(std::u16string_view text) {
    std::u16string upper(text);
    for (auto& c : upper) c = UpperCase(c);
    return upper;
}

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsPrefix(std::u16string_view prefix) {
    return prefix.size() == 3 && IsLetter(prefix[0]) && IsLetter(prefix[1]) && IsLetter(prefix[2]);
}

HANDLE Add(std::u16string_view prefix, DWORD index, std::shared_ptr<StreamDevice> device) {
    auto entry = std::make_shared<DeviceEntry>();
    entry->name = Upper(prefix) + static_cast<char16_t>(u'0' + index);
    entry->device = std::move(device);
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.byName.contains(entry->name)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    const uintptr_t handle = table.nextHandle;
    table.nextHandle += 4;
    table.byName[entry->name] = entry;
    table.byHandle[handle] = std::move(entry);
    return reinterpret_cast<HANDLE>(handle);
}

bool NameFree(std::u16string_view prefix, DWORD index) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    return !table.byName.contains(Upper(prefix) + static_cast<char16_t>(u'0' + index));
}

// Closes what is still open on the device, then deinitialises it.
void Retire(const std::shared_ptr<DeviceEntry>& entry) {
    std::unique_lock lock(entry->gate);
    for (const auto& [handle, open] : entry->opens) entry->device->Close(open);
    entry->opens.clear();
    entry->gone = true;
    entry->device->Deinit();
}

std::shared_ptr<DeviceEntry> Remove(HANDLE device) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.byHandle.find(reinterpret_cast<uintptr_t>(device));
    if (it == table.byHandle.end()) return nullptr;
    auto entry = std::move(it->second);
    table.byHandle.erase(it);
    table.byName.erase(entry->name);
    return entry;
}

std::optional<std::u16string> RegistryString(HKEY key, const char16_t* name) {
    WCHAR text[MAX_PATH] = {};
    DWORD bytes = sizeof(text) - sizeof(WCHAR);
    DWORD type = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes) != 0 ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::u16string(text);
}

std::optional<DWORD> RegistryNumber(HKEY key, const char16_t* name) {
    DWORD value = 0, bytes = sizeof value, type = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &bytes) != 0 ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool IsDeviceName(std::u16string_view name) {
    return name.size() == 5 && IsPrefix(name.substr(0, 3)) && name[3] >= u'0' && name[3] <= u'9' &&
           name[4] == u':';
}

HANDLE OpenDevice(std::u16string_view name, DWORD access, DWORD shareMode) {
    std::shared_ptr<DeviceEntry> entry;
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.byName.find(Upper(name.substr(0, 4)));
        if (it != table.byName.end()) entry = it->second;
    }
    if (!entry) {
        SetLastError(ERROR_DEV_NOT_EXIST);
        return INVALID_HANDLE_VALUE;
    }
    auto handle = std::make_shared<DeviceOpen>(entry);
    {
        std::unique_lock lock(entry->gate);
        if (entry->gone) {
            SetLastError(ERROR_DEV_NOT_EXIST);
            return INVALID_HANDLE_VALUE;
        }
        SetLastError(0);
        const DWORD_PTR open = entry->device->Open(access, shareMode);
        if (open == 0) {
            if (GetLastError() == 0) SetLastError(ERROR_OPEN_FAILED);
            return INVALID_HANDLE_VALUE;
        }
        handle->Opened(open);
    }
    return RegisterHandle(std::move(handle));
}

BOOL IoControlOn(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) {
    auto device = LookupHandleAs<DeviceOpen>(handle);
    if (!device) {
        SetLastError(LookupHandle(handle) ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD actual = 0;
    const BOOL ok = device->IoControl(code, in, inSize, out, outSize, &actual);
    if (bytesReturned != nullptr) *bytesReturned = actual;
    return ok;
}

}  // namespace platform::devices

namespace devices = platform::devices;

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned, LPOVERLAPPED) {
    return devices::IoControlOn(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                outBufferSize, bytesReturned);
}

HANDLE RegisterDevice(LPCWSTR prefix, DWORD index, LPCWSTR library, DWORD_PTR context) {
    if (prefix == nullptr || !devices::IsPrefix(prefix) || index > 9 || library == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!devices::NameFree(prefix, index)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    auto device = devices::LoadLibraryDevice(prefix, library, context);
    if (!device) return nullptr;
    HANDLE handle = devices::Add(prefix, index, device);
    if (handle == nullptr) device->Deinit();
    return handle;
}

BOOL DeregisterDevice(HANDLE device) {
    auto entry = devices::Remove(device);
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    devices::Retire(entry);
    return TRUE;
}

HANDLE ActivateDevice(LPCWSTR registryKey, DWORD_PTR context) {
    HKEY key = nullptr;
    if (LONG error = RegOpenKeyEx(HKEY_LOCAL_MACHINE, registryKey, 0, 0, &key); error != 0) {
        SetLastError(static_cast<DWORD>(error));
        return nullptr;
    }
    const auto prefix = devices::RegistryString(key, u"Prefix");
    const auto library = devices::RegistryString(key, u"Dll");
    auto index = devices::RegistryNumber(key, u"Index");
    RegCloseKey(key);
    if (!prefix || !library) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Without an Index the device takes the first free number, counting from 1 as CE does.
    for (DWORD n = 1; !index && n <= 10; ++n) {
        if (devices::NameFree(*prefix, n % 10)) index = n % 10;
    }
    if (!index) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    return RegisterDevice(prefix->c_str(), *index, library->c_str(), context);
}

BOOL DeactivateDevice(HANDLE device) { return DeregisterDevice(device); }

namespace platform {

HANDLE RegisterInProcessDevice(std::u16string_view prefix, DWORD index,
                               std::shared_ptr<StreamDevice> device) {
    if (!devices::IsPrefix(prefix) || index > 9 || !device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return devices::Add(prefix, index, std::move(device));
}

namespace {

std::vector<std::shared_ptr<devices::DeviceEntry>> AllDevices() {
    auto& table = devices::Table();
    std::lock_guard lock(table.mutex);
    std::vector<std::shared_ptr<devices::DeviceEntry>> entries;
    for (const auto& [handle, entry] : table.byHandle) entries.push_back(entry);
    return entries;
}

template <class Call>
void ForEachLiveDevice(Call call) {
    for (const auto& entry : AllDevices()) {
        std::shared_lock lock(entry->gate);
        if (!entry->gone) call(*entry->device);
    }
}

}  // namespace

void PowerDownDevices() {
    ForEachLiveDevice([](StreamDevice& device) { device.PowerDown(); });
}

void PowerUpDevices() {
    ForEachLiveDevice([](StreamDevice& device) { device.PowerUp(); });
}

void ResetDevices() {
    std::vector<HANDLE> handles;
    {
        auto& table = devices::Table();
        std::lock_guard lock(table.mutex);
        for (const auto& [handle, entry] : table.byHandle) {
            handles.push_back(reinterpret_cast<HANDLE>(handle));
        }
    }
    for (HANDLE handle : handles) DeregisterDevice(handle);
}

}  // namespace platform
