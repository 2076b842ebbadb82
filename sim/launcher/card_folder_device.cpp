#include "card_folder_device.h"

#include <platform/devices.h>
#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <windows.h>

#include <cstring>

namespace sim {
namespace {

class DriveInfoDevice final : public platform::StreamDevice {
public:
    explicit DriveInfoDevice(std::u16string folder) : folder_(std::move(folder)) {}

    DWORD_PTR Open(DWORD, DWORD) override { return 1; }
    BOOL Close(DWORD_PTR) override { return TRUE; }

    // The record comes back in the input buffer, as the card driver hands the request on.
    BOOL IoControl(DWORD_PTR, DWORD code, BYTE* in, DWORD inSize, BYTE*, DWORD, DWORD* actual) override {
        if (code != kDriveInfoCode || in == nullptr || inSize < kDriveInfoBytes) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::memset(in, 0, kDriveInfoBytes);
        const DWORD kind = kDriveKindRemovableDisk;
        std::memcpy(in + kDriveKindOffset, &kind, sizeof kind);
        const size_t units = std::min<size_t>(folder_.size(), 127);
        std::memcpy(in + kFolderNameOffset, folder_.data(), units * sizeof(char16_t));
        if (actual) *actual = kDriveInfoBytes;
        return TRUE;
    }

private:
    std::u16string folder_;
};

}  // namespace

CardFolder::CardFolder(DWORD index, std::u16string folderName, std::filesystem::path hostFolder)
    : index_(index), folderName_(std::move(folderName)), hostFolder_(std::move(hostFolder)) {}

CardFolder::~CardFolder() { Remove(); }

std::string CardFolder::Insert() {
    if (device_) return "";
    auto disk = std::make_shared<platform::HostFolderBackend>(platform::HostFolderOptions{hostFolder_, {}, {}});
    if (DWORD error = platform::Mount(folderName_, disk); error != 0) {
        return "cannot mount the card's disk (error " + std::to_string(error) + ")";
    }
    device_ = platform::RegisterInProcessDevice(u"CRD", index_, std::make_shared<DriveInfoDevice>(folderName_));
    if (!device_) {
        platform::Unmount(folderName_);
        return "cannot offer CRD" + std::to_string(index_) + ": (error " + std::to_string(GetLastError()) + ")";
    }
    return "";
}

std::string CardFolder::Insert(std::string& note) {
    note = "host folder card at CRD" + std::to_string(index_) + ":";
    return Insert();
}

void CardFolder::Remove() {
    if (!device_) return;
    DeregisterDevice(device_);
    device_ = nullptr;
    platform::Unmount(folderName_);
}

}  // namespace sim
