// The registry, with CE's results: 0, 2 missing key or value, 6 bad handle, 87 bad parameter,
// 234 more data (nothing written past the caller's buffer), 259 no more items.
#pragma once

#include "windef.h"
#include "winerror.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u)))

typedef DWORD REGSAM;
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

LONG RegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                    REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                    LPDWORD disposition);
LONG RegQueryValueEx(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                     LPDWORD dataBytes);
LONG RegSetValueEx(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD dataBytes);
LONG RegDeleteValue(HKEY key, LPCWSTR valueName);
LONG RegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                  LPWSTR className, LPDWORD classChars, PFILETIME lastWriteTime);
LONG RegDeleteKey(HKEY key, LPCWSTR subKey);
LONG RegCloseKey(HKEY key);
