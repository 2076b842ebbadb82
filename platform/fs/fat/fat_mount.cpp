// Mounting a DSK device's FAT volume as a folder of the root, and taking it away again.
#include "fat_volume.h"

#include <cefiles.h>
#include <platform/fat_volume.h>
#include <platform/file_system.h>
#include <platform/text.h>
#include <winbase.h>
#include <winerror.h>

#include <map>
#include <mutex>

namespace platform {
namespace {

struct Mounted {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<fat::FatVolume>> volumes;  // by folded folder
    std::map<std::u16string, std::u16string> devices;  // folded folder -> folded device name
};

Mounted& Volumes() {
    static Mounted* mounted = new Mounted;
    return *mounted;
}

}  // namespace

DWORD MountFatVolume(std::u16string_view folder, std::u16string_view diskDevice) {
    const std::u16string deviceName(diskDevice);
    HANDLE device = ::CreateFile(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (device == INVALID_HANDLE_VALUE) return GetLastError();
    std::shared_ptr<fat::FatVolume> volume;
    if (DWORD error = fat::FatVolume::Open(device, volume); error != 0) return error;
    auto& mounted = Volumes();
    std::lock_guard lock(mounted.mutex);
    if (DWORD error = Mount(folder, volume); error != 0) {
        volume->Detach();
        return error;
    }
    mounted.volumes[Folded(folder)] = std::move(volume);
    mounted.devices[Folded(folder)] = Folded(diskDevice);
    return 0;
}

bool FatDeviceMounted(std::u16string_view diskDevice) {
    auto& mounted = Volumes();
    std::lock_guard lock(mounted.mutex);
    const std::u16string device = Folded(diskDevice);
    for (const auto& [folder, name] : mounted.devices) {
        if (name == device) return true;
    }
    return false;
}

DWORD UnmountFatVolume(std::u16string_view folder) {
    auto& mounted = Volumes();
    std::lock_guard lock(mounted.mutex);
    auto it = mounted.volumes.find(Folded(folder));
    if (it == mounted.volumes.end()) return ERROR_FILE_NOT_FOUND;
    (void)Unmount(folder);
    it->second->Detach();
    mounted.volumes.erase(it);
    mounted.devices.erase(Folded(folder));
    return 0;
}

}  // namespace platform
