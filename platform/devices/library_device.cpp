#include "library_device.h"

#include <platform/text.h>
#include <winbase.h>

namespace platform::devices {
namespace {

struct Entries {
    PFN_XXX_INIT init = nullptr;
    PFN_XXX_DEINIT deinit = nullptr;
    PFN_XXX_OPEN open = nullptr;
    PFN_XXX_CLOSE close = nullptr;
    PFN_XXX_READ read = nullptr;
    PFN_XXX_WRITE write = nullptr;
    PFN_XXX_SEEK seek = nullptr;
    PFN_XXX_IOCONTROL ioControl = nullptr;
    PFN_XXX_POWERUP powerUp = nullptr;
    PFN_XXX_POWERDOWN powerDown = nullptr;
};

template <class Fn>
void Resolve(HMODULE module, std::u16string_view prefix, const char16_t* suffix, Fn& entry) {
    const std::u16string name = std::u16string(prefix) + suffix;
    entry = reinterpret_cast<Fn>(GetProcAddress(module, name.c_str()));
}

class LibraryDevice final : public StreamDevice {
public:
    LibraryDevice(HMODULE module, Entries entries, DWORD_PTR device)
        : module_(module), entries_(entries), device_(device) {}
    ~LibraryDevice() override { FreeLibrary(module_); }

    DWORD_PTR Open(DWORD access, DWORD share) override {
        return entries_.open(device_, access, share);
    }
    BOOL Close(DWORD_PTR open) override { return entries_.close(open); }
    DWORD Read(DWORD_PTR open, void* buffer, DWORD count) override {
        return entries_.read ? entries_.read(open, buffer, count)
                             : StreamDevice::Read(open, buffer, count);
    }
    DWORD Write(DWORD_PTR open, const void* buffer, DWORD count) override {
        return entries_.write ? entries_.write(open, buffer, count)
                              : StreamDevice::Write(open, buffer, count);
    }
    DWORD Seek(DWORD_PTR open, LONG amount, DWORD type) override {
        return entries_.seek ? entries_.seek(open, amount, type)
                             : StreamDevice::Seek(open, amount, type);
    }
    BOOL IoControl(DWORD_PTR open, DWORD code, BYTE* in, DWORD inSize, BYTE* out, DWORD outSize,
                   DWORD* actualOut) override {
        return entries_.ioControl(open, code, in, inSize, out, outSize, actualOut);
    }
    void PowerUp() override {
        if (entries_.powerUp) entries_.powerUp(device_);
    }
    void PowerDown() override {
        if (entries_.powerDown) entries_.powerDown(device_);
    }
    void Deinit() override { entries_.deinit(device_); }

private:
    HMODULE module_;
    Entries entries_;
    DWORD_PTR device_;
};

}  // namespace

std::shared_ptr<StreamDevice> LoadLibraryDevice(std::u16string_view prefix,
                                                const char16_t* library, DWORD_PTR context) {
    HMODULE module = LoadLibrary(library);
    if (module == nullptr) return nullptr;
    Entries e;
    Resolve(module, prefix, u"_Init", e.init);
    Resolve(module, prefix, u"_Deinit", e.deinit);
    Resolve(module, prefix, u"_Open", e.open);
    Resolve(module, prefix, u"_Close", e.close);
    Resolve(module, prefix, u"_Read", e.read);
    Resolve(module, prefix, u"_Write", e.write);
    Resolve(module, prefix, u"_Seek", e.seek);
    Resolve(module, prefix, u"_IOControl", e.ioControl);
    Resolve(module, prefix, u"_PowerUp", e.powerUp);
    Resolve(module, prefix, u"_PowerDown", e.powerDown);
    if (!e.init || !e.deinit || !e.open || !e.close || !e.ioControl) {
        FreeLibrary(module);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    SetLastError(0);
    const DWORD_PTR device = e.init(context);
    if (device == 0) {
        const DWORD error = GetLastError();
        FreeLibrary(module);
        SetLastError(error != 0 ? error : ERROR_GEN_FAILURE);
        return nullptr;
    }
    return std::make_shared<LibraryDevice>(module, e, device);
}

}  // namespace platform::devices
