#include "drive_library.h"

namespace qvcard {
namespace {

template <class Function>
Function Resolve(HMODULE module, const WCHAR* name) {
    return reinterpret_cast<Function>(GetProcAddress(module, name));
}

}  // namespace

bool DriveLibrary::Load() {
    module_ = LoadLibrary(u"QVATAPI.DLL");
    if (module_ == nullptr) return false;
    init = Resolve<QvInitFunction>(module_, u"Init");
    close = Resolve<QvCloseFunction>(module_, u"Close");
    command = Resolve<QvCommandFunction>(module_, u"Command");
    read = Resolve<QvTransferFunction>(module_, u"Read");
    write = Resolve<QvTransferFunction>(module_, u"Write");
    checkMedia = Resolve<QvCheckMediaFunction>(module_, u"CheckMedia");
    if (!init || !close || !command || !read || !write || !checkMedia) {
        Unload();
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return true;
}

void DriveLibrary::Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    init = nullptr;
    close = nullptr;
    command = nullptr;
    read = write = nullptr;
    checkMedia = nullptr;
}

}  // namespace qvcard
