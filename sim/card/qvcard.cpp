// QVCARD's entry points: the detection entry, the card hand-over from card services, and the
// CRD stream device (its context is the socket's CardDriver).
#include <cardserv.h>
#include <cedevice.h>
#include <windows.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "card_driver.h"

namespace {

constexpr std::string_view kMaker = "QUORVA";
constexpr std::string_view kProductFamily = "ZAPT!";
constexpr char16_t kLibrary[] = u"QVCARD.DLL";
constexpr DWORD kSockets = 2;

std::mutex driversMutex;
std::array<std::unique_ptr<qvcard::CardDriver>, kSockets> drivers;

BOOL DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // namespace

CE_MODULE_ENTRY(DllMain)

// Claims the drive's card, the packet drive and the ATA variant alike (both carry the maker's
// name and the product family in their information structure).
CE_EXPORT BOOL DetectCard(CARD_SOCKET_HANDLE socket, LPWSTR driver, DWORD driverChars) {
    CARD_IDENTITY identity{};
    if (!CardGetIdentity(socket, &identity) || driver == nullptr ||
        driverChars < sizeof(kLibrary) / sizeof(kLibrary[0])) {
        return FALSE;
    }
    const std::string_view product(identity.product);
    if (std::string_view(identity.maker) != kMaker || product.substr(0, kProductFamily.size()) != kProductFamily ||
        identity.functionId != CARD_FUNCTION_FIXED_DISK) {
        return FALSE;
    }
    std::memcpy(driver, kLibrary, sizeof kLibrary);
    return TRUE;
}

CE_EXPORT BOOL CardAttach(CARD_SOCKET_HANDLE socket) {
    if (socket >= kSockets) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto driver = std::make_unique<qvcard::CardDriver>(socket);
    if (!driver->Attach()) return FALSE;
    std::lock_guard lock(driversMutex);
    drivers[socket] = std::move(driver);
    return TRUE;
}

CE_EXPORT void CardDetach(CARD_SOCKET_HANDLE socket) {
    std::unique_ptr<qvcard::CardDriver> driver;
    {
        std::lock_guard lock(driversMutex);
        if (socket < kSockets) driver = std::move(drivers[socket]);
    }
    if (driver) driver->Detach();
}

// --- CRD<n>: the device the backup program asks where the drive's disk is ---

CE_EXPORT DWORD_PTR CRD_Init(DWORD_PTR driver) { return driver; }
CE_EXPORT BOOL CRD_Deinit(DWORD_PTR) { return TRUE; }
CE_EXPORT DWORD_PTR CRD_Open(DWORD_PTR driver, DWORD, DWORD) { return driver; }
CE_EXPORT BOOL CRD_Close(DWORD_PTR) { return TRUE; }
CE_EXPORT BOOL CRD_IOControl(DWORD_PTR open, DWORD code, PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    return reinterpret_cast<qvcard::CardDriver*>(open)->Control(code, in, inSize);
}
