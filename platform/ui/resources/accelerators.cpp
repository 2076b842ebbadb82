// Accelerator tables: loaded once per module and table (they are the program's own resources
// and live as long as it runs), and matched against key messages before the dialog keys.
#include <platform/ui/resources.h>
#include <windows.h>

#include <map>
#include <mutex>

namespace {

struct Table {
    std::vector<platform::ui::AcceleratorEntry> entries;
};

std::mutex tablesMutex;
std::map<std::pair<HINSTANCE, uintptr_t>, std::unique_ptr<Table>>* tables =
    new std::map<std::pair<HINSTANCE, uintptr_t>, std::unique_ptr<Table>>;

uint8_t HeldModifiers() {
    uint8_t held = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) held |= FSHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000) held |= FCONTROL;
    if (GetKeyState(VK_MENU) & 0x8000) held |= FALT;
    return held;
}

}  // namespace

HACCEL LoadAccelerators(HINSTANCE instance, LPCWSTR tableName) {
    HRSRC resource = FindResource(instance, tableName, RT_ACCELERATOR);
    if (!resource) return nullptr;
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(instance, resource)));
    auto parsed = platform::ui::ParseAccelerators({bytes, SizeofResource(instance, resource)});
    if (!parsed) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard lock(tablesMutex);
    auto& slot = (*tables)[{instance, reinterpret_cast<uintptr_t>(resource)}];
    if (!slot) slot = std::make_unique<Table>(Table{std::move(*parsed.value)});
    return reinterpret_cast<HACCEL>(slot.get());
}

int TranslateAccelerator(HWND window, HACCEL table, LPMSG message) {
    if (!window || !table || !message) return 0;
    const UINT kind = message->message;
    const bool keyDown = kind == WM_KEYDOWN || kind == WM_SYSKEYDOWN;
    const bool character = kind == WM_CHAR || kind == WM_SYSCHAR;
    if (!keyDown && !character) return 0;
    const uint8_t held = HeldModifiers();
    for (const auto& entry : reinterpret_cast<Table*>(table)->entries) {
        const bool virtualKey = entry.flags & FVIRTKEY;
        if (virtualKey != keyDown || entry.key != message->wParam) continue;
        // A virtual-key entry matches only with exactly its modifiers held.
        if (virtualKey && (entry.flags & (FSHIFT | FCONTROL | FALT)) != held) continue;
        if (!virtualKey && (entry.flags & FALT) && !(held & FALT)) continue;
        SendMessage(window, WM_COMMAND, MAKEWPARAM(entry.command, 1), 0);
        return 1;
    }
    return 0;
}
