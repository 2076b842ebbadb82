// Finding the drive: the first card device CRD0: .. CRD9: that answers control code 250 names
// the folder under which the drive's disk is reached.
#include <cstring>

#include "backup_application.h"
#include "device_name.h"
#include "drive_folder.h"
#include "program_objects.h"

WCHAR driveFolder[DRIVE_FOLDER_CHARS] = {};

namespace {

constexpr DWORD IOCTL_DRIVE_INFO = 250;
constexpr DWORD DRIVE_INFO_BYTES = 272;
constexpr DWORD DRIVE_INFO_FOLDER_OFFSET = 16;
constexpr int DRIVE_INFO_FOLDER_UNITS = 128;
constexpr int CARD_DEVICE_COUNT = 10;

// Asks one card device for its folder; true and `folder` filled (always terminated, at most
// 127 characters) when it answers.
bool AskCardDevice(int index, WCHAR (&folder)[DRIVE_INFO_FOLDER_UNITS]) {
    WCHAR deviceName[8];
    wsprintfW(deviceName, u"CRD%d:", index);
    HANDLE device = CreateFile(deviceName, GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    BYTE record[DRIVE_INFO_BYTES];
    std::memset(record, 0, sizeof record);
    DWORD returned = 0;
    const bool answered = DeviceIoControl(device, IOCTL_DRIVE_INFO, record, DRIVE_INFO_BYTES,
                                          nullptr, 0, &returned, nullptr) != FALSE;
    if (answered) {
        std::memcpy(folder, record + DRIVE_INFO_FOLDER_OFFSET, sizeof folder);
        folder[DRIVE_INFO_FOLDER_UNITS - 1] = 0;
    }
    CloseHandle(device);
    return answered;
}

}  // namespace

ResultCode BackupApplication::DiscoverDrive(ui::TextString& backupPath) {
    WCHAR deviceName[DEVICE_NAME_CHARS];
    const LONG opened = ReadDeviceName(deviceName);
    if (opened != ERROR_SUCCESS) return static_cast<ResultCode>(opened);

    ResultCode status = RESULT_NO_DRIVE;
    for (int index = 0; status == RESULT_NO_DRIVE && index < CARD_DEVICE_COUNT; ++index) {
        WCHAR folder[DRIVE_INFO_FOLDER_UNITS];
        if (!AskCardDevice(index, folder)) continue;
        // "\" and at most 127 characters always fit the 260 of driveFolder.
        wcscpy(driveFolder, pathSeparator);
        wcscat(driveFolder, folder);
        status = RESULT_SUCCESS;
    }
    if (status != RESULT_SUCCESS) return status;

    SYSTEMTIME now;
    GetLocalTime(&now);
    ui::TextString suffix;
    suffix.Format(u" %d-%d-%d %d.%02d", now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute);
    backupPath = driveFolder;
    backupPath += pathSeparator + (ui::TextString(deviceName) + suffix);
    return RESULT_SUCCESS;
}
