// QVATAPI.DLL loaded by name, as the card driver loads it, with its six entry points.
#pragma once

#include <qvatapi.h>
#include <windows.h>

namespace qvcard {

class DriveLibrary {
public:
    // False with the loader's error when the library or an entry point is missing.
    bool Load();
    void Unload();

    QvInitFunction init = nullptr;
    QvCloseFunction close = nullptr;
    QvCommandFunction command = nullptr;
    QvTransferFunction read = nullptr;
    QvTransferFunction write = nullptr;
    QvCheckMediaFunction checkMedia = nullptr;

private:
    HMODULE module_ = nullptr;
};

}  // namespace qvcard
