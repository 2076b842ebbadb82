// LoadBitmap and LoadIcon: bitmaps and icons from a module's resources. A module's icons are
// loaded once and shared, as the system keeps a program's resource icons for its lifetime.
#include <platform/text.h>
#include <platform/ui/images.h>
#include <platform/ui/resources.h>
#include <windows.h>

#include <map>
#include <mutex>

namespace {

std::span<const uint8_t> ResourceBytes(HINSTANCE instance, LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResource(instance, name, type);
    if (!found) return {};
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    return {data, SizeofResource(instance, found)};
}

// The group's entry nearest the standard 32 x 32 size, preferring more colours.
const platform::ui::IconGroupEntry* ChooseImage(const std::vector<platform::ui::IconGroupEntry>& entries) {
    const platform::ui::IconGroupEntry* best = nullptr;
    auto distance = [](const platform::ui::IconGroupEntry& e) {
        const int side = e.width == 0 ? 256 : e.width;
        return side > 32 ? side - 32 : 32 - side;
    };
    for (const auto& entry : entries) {
        if (!best || distance(entry) < distance(*best) ||
            (distance(entry) == distance(*best) && entry.bitCount > best->bitCount)) {
            best = &entry;
        }
    }
    return best;
}

}  // namespace

HBITMAP LoadBitmap(HINSTANCE instance, LPCWSTR name) {
    auto bytes = ResourceBytes(instance, name, RT_BITMAP);
    if (bytes.empty()) return nullptr;
    return platform::ui::CreateBitmapFromDib(bytes.data(), bytes.size());
}

HICON LoadIcon(HINSTANCE instance, LPCWSTR name) {
    static std::mutex mutex;
    static std::map<std::pair<HINSTANCE, std::u16string>, HICON> loaded;
    const std::u16string key = IS_INTRESOURCE(name)
        ? u"#" + platform::Utf16(std::to_string(reinterpret_cast<ULONG_PTR>(name))) : std::u16string(name);
    if (instance == nullptr) instance = platform::ui::ProgramInstance();
    std::lock_guard lock(mutex);
    if (auto found = loaded.find({instance, key}); found != loaded.end()) return found->second;
    auto group = ResourceBytes(instance, name, RT_GROUP_ICON);
    if (group.empty()) return nullptr;
    auto entries = platform::ui::ParseIconGroup(group);
    const platform::ui::IconGroupEntry* chosen = entries ? ChooseImage(*entries.value) : nullptr;
    if (!chosen) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto image = ResourceBytes(instance, MAKEINTRESOURCE(chosen->imageId), RT_ICON);
    if (image.empty()) return nullptr;
    HICON icon = platform::ui::CreateIconFromImage(image.data(), image.size());
    if (icon) loaded[{instance, key}] = icon;
    return icon;
}
