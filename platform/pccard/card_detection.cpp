// Detection as the handheld does it: every numbered subkey of Drivers\PCMCIA\Detect names a
// library and a function; they are asked in increasing number order whether the card is
// theirs, and the first that claims it names the driver that then takes the card.
#include "card_slots.h"

#include <platform/text.h>
#include <winbase.h>
#include <winerror.h>
#include <winreg.h>

#include <algorithm>
#include <cwctype>
#include <optional>

namespace platform::pccard {
namespace {

struct DetectEntry {
    DWORD number = 0;
    std::u16string subkey, dll, entry;
};

std::optional<std::u16string> ReadString(HKEY key, const char16_t* name) {
    WCHAR text[MAX_PATH] = {};
    DWORD bytes = sizeof(text) - sizeof(WCHAR);
    DWORD type = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &bytes) != 0 ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::u16string(text);
}

// Subkeys whose names are numbers and which hold both values, by number; ties by name.
std::vector<DetectEntry> DetectEntries() {
    std::vector<DetectEntry> entries;
    HKEY detect = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Drivers\\PCMCIA\\Detect", 0, 0, &detect) != 0) return entries;
    for (DWORD index = 0;; ++index) {
        WCHAR name[64];
        DWORD chars = 64;
        if (RegEnumKeyEx(detect, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != 0) break;
        const std::u16string subkey(name);
        if (subkey.empty() || subkey.size() > 9 ||
            !std::all_of(subkey.begin(), subkey.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
            continue;
        }
        HKEY key = nullptr;
        if (RegOpenKeyEx(detect, name, 0, 0, &key) != 0) continue;
        auto dll = ReadString(key, u"Dll");
        auto entry = ReadString(key, u"Entry");
        RegCloseKey(key);
        if (!dll || !entry) continue;
        DWORD number = 0;
        for (char16_t c : subkey) number = number * 10 + (c - u'0');
        entries.push_back({number, subkey, *dll, *entry});
    }
    RegCloseKey(detect);
    std::stable_sort(entries.begin(), entries.end(), [](const DetectEntry& a, const DetectEntry& b) {
        return a.number != b.number ? a.number < b.number : a.subkey < b.subkey;
    });
    return entries;
}

// Asks one entry; the claimed driver's name lands in driver.
DetectionStep::Outcome Ask(const DetectEntry& entry, DWORD socket, std::u16string& driver) {
    HMODULE module = LoadLibrary(entry.dll.c_str());
    if (module == nullptr) return DetectionStep::Outcome::NoLibrary;
    auto detect = reinterpret_cast<PFN_CARD_DETECT>(GetProcAddress(module, entry.entry.c_str()));
    if (detect == nullptr) {
        FreeLibrary(module);
        return DetectionStep::Outcome::NoFunction;
    }
    WCHAR name[MAX_PATH] = {};
    const BOOL claimed = detect(socket, name, MAX_PATH);
    name[MAX_PATH - 1] = 0;
    FreeLibrary(module);
    if (!claimed || name[0] == 0) return DetectionStep::Outcome::Declined;
    driver = name;
    return DetectionStep::Outcome::Claimed;
}

// Loads the driver and hands it the card; the module stays with the socket either way, so a
// driver that refused the card is told when it leaves too.
void Attach(SocketState& state, DWORD socket, DetectionResult& result) {
    HMODULE module = LoadLibrary(result.driver.c_str());
    if (module == nullptr) {
        result.error = GetLastError();
        return;
    }
    auto attach = reinterpret_cast<PFN_CARD_ATTACH>(GetProcAddress(module, u"CardAttach"));
    auto detach = reinterpret_cast<PFN_CARD_DETACH>(GetProcAddress(module, u"CardDetach"));
    if (attach == nullptr || detach == nullptr) {
        result.error = ERROR_PROC_NOT_FOUND;
        FreeLibrary(module);
        return;
    }
    state.driver = module;
    state.detach = detach;
    SetLastError(0);
    result.attached = attach(socket) != FALSE;
    if (!result.attached) result.error = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
}

}  // namespace
}  // namespace platform::pccard

namespace platform {

std::string DetectionResult::Describe() const {
    const DetectionStep* claimer = nullptr;
    for (const auto& step : steps) {
        if (step.outcome == DetectionStep::Outcome::Claimed) claimer = &step;
    }
    if (claimer == nullptr) return "no detection entry claimed the card";
    std::string text = "detection entry " + ToUtf8(claimer->subkey) + " (" + ToUtf8(claimer->dll) +
                       " " + ToUtf8(claimer->entry) + ") claimed the card; driver " + ToUtf8(driver);
    text += attached ? " took it" : " could not use it (error " + std::to_string(error) + ")";
    return text;
}

DetectionResult CardInserted(DWORD socket) {
    DetectionResult result;
    {
        std::lock_guard lock(pccard::SlotsMutex());
        auto* state = pccard::Socket(socket);
        if (state == nullptr || state->slot == nullptr || state->driver != nullptr) {
            result.error = state == nullptr || state->slot == nullptr ? ERROR_INVALID_PARAMETER
                                                                      : ERROR_ALREADY_EXISTS;
            return result;
        }
    }
    for (const auto& entry : pccard::DetectEntries()) {
        DetectionStep step{entry.subkey, entry.dll, entry.entry};
        step.outcome = pccard::Ask(entry, socket, result.driver);
        result.steps.push_back(step);
        if (step.outcome == DetectionStep::Outcome::Claimed) {
            result.claimed = true;
            break;
        }
    }
    if (!result.claimed) return result;
    // Attach runs outside the lock: the driver calls back into card services.
    pccard::SocketState attached;
    pccard::Attach(attached, socket, result);
    std::lock_guard lock(pccard::SlotsMutex());
    auto* state = pccard::Socket(socket);
    state->driver = attached.driver;
    state->detach = attached.detach;
    return result;
}

void CardRemoved(DWORD socket) {
    HMODULE driver = nullptr;
    PFN_CARD_DETACH detach = nullptr;
    {
        std::lock_guard lock(pccard::SlotsMutex());
        auto* state = pccard::Socket(socket);
        if (state == nullptr) return;
        std::swap(driver, state->driver);
        std::swap(detach, state->detach);
    }
    if (driver == nullptr) return;
    detach(socket);
    FreeLibrary(driver);
}

}  // namespace platform
