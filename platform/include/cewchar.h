// The C runtime's wide-string functions for 16-bit WCHAR (the host's wchar_t is 32 bits), and
// wsprintf. Case-insensitive comparisons fold letters as the platform's file system and
// registry do.
#pragma once

#include <cstdarg>
// The standard headers first: their std:: using-declarations must see only the runtime's own
// wchar_t functions, not the WCHAR overloads below.
#include <cwchar>
#include <cwctype>
#include <string>

#include "windef.h"

size_t wcslen(const WCHAR* text);
WCHAR* wcscpy(WCHAR* destination, const WCHAR* source);
WCHAR* wcsncpy(WCHAR* destination, const WCHAR* source, size_t count);
WCHAR* wcscat(WCHAR* destination, const WCHAR* source);
int wcscmp(const WCHAR* first, const WCHAR* second);
int wcsncmp(const WCHAR* first, const WCHAR* second, size_t count);
int _wcsicmp(const WCHAR* first, const WCHAR* second);
int _wcsnicmp(const WCHAR* first, const WCHAR* second, size_t count);
const WCHAR* wcschr(const WCHAR* text, WCHAR character);
WCHAR* wcschr(WCHAR* text, WCHAR character);
const WCHAR* wcsrchr(const WCHAR* text, WCHAR character);
WCHAR* wcsrchr(WCHAR* text, WCHAR character);
const WCHAR* wcsstr(const WCHAR* text, const WCHAR* part);
unsigned long wcstoul(const WCHAR* text, WCHAR** end, int base);
long _wtol(const WCHAR* text);
WCHAR towupper(WCHAR character);
WCHAR towlower(WCHAR character);

// printf-style formatting into a wide buffer of at most 1024 characters, as the window system's
// wsprintf: %d %i %u %x %X %c %s %% with flags '-' '0', width and precision; 'l' and 'h' size
// prefixes (a 'l' argument is 32 bits, as on the target); %s takes a wide string, %hs a narrow
// one. Returns the characters written, terminator excluded.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list arguments);
#define wsprintf wsprintfW
#define wvsprintf wvsprintfW
