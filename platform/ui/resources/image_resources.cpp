// Icons and bitmaps from a module's resources, decoded by the drawing layer.
#include <platform/ui/images.h>
#include <platform/ui/resources.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace {

std::mutex iconsMutex;
auto* icons = new std::map<std::pair<HINSTANCE, uintptr_t>, HICON>;

std::span<const uint8_t> Bytes(HINSTANCE instance, LPCWSTR name, LPCWSTR type) {
    HRSRC resource = FindResource(instance, name, type);
    if (!resource) return {};
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(instance, resource)));
    return {data, SizeofResource(instance, resource)};
}

}  // namespace

HICON LoadIcon(HINSTANCE instance, LPCWSTR iconName) {
    HRSRC group = FindResource(instance, iconName, RT_GROUP_ICON);
    if (!group) return nullptr;
    std::lock_guard lock(iconsMutex);
    auto& cached = (*icons)[{instance, reinterpret_cast<uintptr_t>(group)}];
    if (cached) return cached;
    auto entries = platform::ui::ParseIconGroup(Bytes(instance, iconName, RT_GROUP_ICON));
    if (!entries || entries.value->empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    // The image nearest 32 x 32 (a width of 0 in a group means 256).
    const platform::ui::IconGroupEntry* best = nullptr;
    auto distance = [](const platform::ui::IconGroupEntry& e) {
        return std::abs((e.width ? e.width : 256) - GetSystemMetrics(SM_CXICON));
    };
    for (const auto& entry : *entries.value) {
        if (!best || distance(entry) < distance(*best)) best = &entry;
    }
    auto image = Bytes(instance, MAKEINTRESOURCE(best->imageId), RT_ICON);
    if (image.empty()) return nullptr;
    cached = platform::ui::CreateIconFromImage(image.data(), image.size());
    return cached;
}

HBITMAP LoadBitmap(HINSTANCE instance, LPCWSTR bitmapName) {
    auto bytes = Bytes(instance, bitmapName, RT_BITMAP);
    if (bytes.empty()) return nullptr;
    return platform::ui::CreateBitmapFromDib(bytes.data(), bytes.size());
}
