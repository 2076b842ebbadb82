// QVATAPI.DLL loaded by file name, as the card driver loads it, with its six entry points.
#pragma once

#include <qvatapi.h>
#include <windows.h>

namespace atapi_test {

struct QvatapiLibrary {
    HMODULE module = nullptr;
    QvInitFunction init = nullptr;
    QvCloseFunction close = nullptr;
    QvCommandFunction command = nullptr;
    QvTransferFunction read = nullptr;
    QvTransferFunction write = nullptr;
    QvCheckMediaFunction checkMedia = nullptr;

    static const QvatapiLibrary& Get() {
        static const QvatapiLibrary library = Load();
        return library;
    }

private:
    template <class Function>
    static Function Resolve(HMODULE module, const WCHAR* name) {
        return reinterpret_cast<Function>(GetProcAddress(module, name));
    }
    static QvatapiLibrary Load() {
        QvatapiLibrary library;
        library.module = LoadLibrary(u"QVATAPI.DLL");
        if (library.module == nullptr) return library;
        library.init = Resolve<QvInitFunction>(library.module, u"Init");
        library.close = Resolve<QvCloseFunction>(library.module, u"Close");
        library.command = Resolve<QvCommandFunction>(library.module, u"Command");
        library.read = Resolve<QvTransferFunction>(library.module, u"Read");
        library.write = Resolve<QvTransferFunction>(library.module, u"Write");
        library.checkMedia = Resolve<QvCheckMediaFunction>(library.module, u"CheckMedia");
        return library;
    }
};

// A request with count segments over one buffer, split evenly.
template <DWORD count>
DiskRequestWith<count> SplitRequest(DWORD firstBlock, BYTE* buffer, DWORD bytes) {
    DiskRequestWith<count> holder;
    holder.startSector = firstBlock;
    DiskSegment* segments = holder.segments;
    const DWORD each = bytes / count;
    for (DWORD i = 0; i < count; ++i) {
        segments[i].buffer = buffer + i * each;
        segments[i].length = i + 1 == count ? bytes - i * each : each;
    }
    return holder;
}

}  // namespace atapi_test
