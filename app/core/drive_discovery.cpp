// Finding the drive: the first card device CRD0: .. CRD9: that answers control code 250 names
// the folder under which the drive's disk is reached.
#include <cstring>

#include "backup_application.h"
#include "drive_folder.h"
#include "program_objects.h"

WCHAR driveFolder[DRIVE_FOLDER_CHARS] = {};

namespace {

constexpr DWORD IOCTL_DRIVE_INFO = 250;
constexpr DWORD DRIVE_INFO_BYTES = 272;
constexpr DWORD DRIVE_INFO_FOLDER_OFFSET = 16;
constexpr int DRIVE_INFO_FOLDER_UNITS = 128;
constexpr int DEVICE_NAME_BYTES = 40;
constexpr int CARD_DEVICE_COUNT = 10;

// The device name from HKEY_LOCAL_MACHINE\Ident "Name", at most 19 characters; empty when the
// value cannot be read. The key's open error, or 0.
LONG ReadDeviceName(WCHAR (&name)[DEVICE_NAME_BYTES / sizeof(WCHAR)]) {
    name[0] = 0;
    DWORD size = DEVICE_NAME_BYTES;
    HKEY key;
    const LONG opened = RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Ident", 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS) return opened;
    if (RegQueryValueEx(key, u"Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size) !=
        ERROR_SUCCESS) {
        name[0] = 0;
    }
    RegCloseKey(key);
    // A value that filled the buffer to its end carries no terminator of its own.
    name[DEVICE_NAME_BYTES / sizeof(WCHAR) - 1] = 0;
    return ERROR_SUCCESS;
}

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
    WCHAR deviceName[DEVICE_NAME_BYTES / sizeof(WCHAR)];
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
