#include "detect_entry.h"

#include <optional>
#include <vector>

namespace {

const WCHAR kDetectKey[] = TEXT("Drivers\\PCMCIA\\Detect");
// The platform's own card drivers that the card driver must be tried before, in this order.
const WCHAR* const kPlatformDrivers[] = {TEXT("ATADISK.DLL"), TEXT("SRAMDISK.DLL")};
const WCHAR kCardDriverDll[] = TEXT("QVCARD.DLL");
const WCHAR kCardDriverEntry[] = TEXT("DetectCard");
const DWORD kBoundWithoutPlatformEntry = 50;
// Both values are written as 10 characters and the terminator.
const DWORD kValueBytes = 22;
const DWORD kSubkeyNameChars = 20;
const DWORD kDllBufferBytes = 200;

struct Survey {
    std::optional<DWORD> lowestPlatformEntry;
    // Every entry of the card driver, by the name it was enumerated under.
    std::vector<std::vector<WCHAR>> ownEntries;
};

// The subkey's name read as a decimal number: its leading digits; no digit at the start is 0.
DWORD EntryNumber(const WCHAR* name) {
    DWORD number = 0;
    for (; *name >= u'0' && *name <= u'9'; ++name) number = number * 10 + (*name - u'0');
    return number;
}

// Reads the subkey's Dll value, always terminated within the 200-byte buffer's room.
bool ReadDllName(HKEY detect, const WCHAR* subkeyName, WCHAR (&dll)[kDllBufferBytes / 2 + 1]) {
    HKEY entry;
    if (RegOpenKeyEx(detect, subkeyName, 0, KEY_ALL_ACCESS, &entry) != ERROR_SUCCESS) return false;
    DWORD bytes = kDllBufferBytes;
    const LONG result =
        RegQueryValueEx(entry, TEXT("Dll"), nullptr, nullptr, reinterpret_cast<LPBYTE>(dll), &bytes);
    RegCloseKey(entry);
    if (result != ERROR_SUCCESS) return false;
    dll[bytes / sizeof(WCHAR)] = 0;
    return true;
}

void NoteEntry(Survey& survey, const WCHAR* subkeyName, const WCHAR* dll) {
    const DWORD number = EntryNumber(subkeyName);
    if (_wcsicmp(dll, kCardDriverDll) == 0) {
        survey.ownEntries.emplace_back(subkeyName, subkeyName + wcslen(subkeyName) + 1);
    }
    for (const WCHAR* platformDriver : kPlatformDrivers) {
        if (_wcsicmp(dll, platformDriver) == 0 &&
            (!survey.lowestPlatformEntry || number < *survey.lowestPlatformEntry)) {
            survey.lowestPlatformEntry = number;
        }
    }
}

// Walks the subkeys until the first index the registry cannot return.
Survey SurveyEntries(HKEY detect) {
    Survey survey;
    for (DWORD index = 0;; ++index) {
        WCHAR name[kSubkeyNameChars];
        DWORD nameChars = kSubkeyNameChars;
        if (RegEnumKeyEx(detect, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return survey;
        }
        WCHAR dll[kDllBufferBytes / 2 + 1];
        if (ReadDllName(detect, name, dll)) NoteEntry(survey, name, dll);
    }
}

bool WriteString(HKEY key, const WCHAR* valueName, const WCHAR* text) {
    return RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         kValueBytes) == ERROR_SUCCESS;
}

// Tries to create a new entry under the given number; an existing subkey is left untouched.
bool CreateEntry(HKEY detect, DWORD number) {
    WCHAR name[kSubkeyNameChars];
    wsprintf(name, TEXT("%lu"), number);
    HKEY entry;
    DWORD disposition = 0;
    if (RegCreateKeyEx(detect, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry,
                       &disposition) != ERROR_SUCCESS) {
        return false;
    }
    bool written = false;
    if (disposition == REG_CREATED_NEW_KEY) {
        const bool dllWritten = WriteString(entry, TEXT("Dll"), kCardDriverDll);
        const bool entryWritten = WriteString(entry, TEXT("Entry"), kCardDriverEntry);
        written = dllWritten && entryWritten;
    }
    RegCloseKey(entry);
    return written;
}

}  // namespace

bool UpdateDetectEntry(DetectEntryAction action) {
    HKEY detect;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kDetectKey, 0, KEY_ALL_ACCESS, &detect) != ERROR_SUCCESS) {
        return false;
    }
    const Survey survey = SurveyEntries(detect);
    for (const auto& name : survey.ownEntries) RegDeleteKey(detect, name.data());

    bool succeeded = true;
    if (action == DetectEntryAction::Install) {
        const DWORD lowest = survey.lowestPlatformEntry.value_or(kBoundWithoutPlatformEntry);
        succeeded = false;
        for (DWORD number = lowest; number-- > 0 && !succeeded;) {
            succeeded = CreateEntry(detect, number);
        }
    }
    RegCloseKey(detect);
    return succeeded;
}
