#include "ce_copy_tree.h"

#include <windows.h>

namespace bench_support {

bool CopyTree(const std::u16string& from, const std::u16string& to) {
    if (!CreateDirectory(to.c_str(), nullptr)) return false;
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile((from + u"\\*.*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_NO_MORE_FILES;
    bool ok = true;
    do {
        const std::u16string name = data.cFileName;
        ok = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? CopyTree(from + u"\\" + name, to + u"\\" + name)
                 : CopyFile((from + u"\\" + name).c_str(), (to + u"\\" + name).c_str(), FALSE);
    } while (ok && FindNextFile(listing, &data));
    FindClose(listing);
    return ok;
}

}  // namespace bench_support
