// The stores the file API's rules run on.
#include "store_suite.h"

#include <support/memory_disk_device.h>

#include <platform/devices.h>
#include <platform/fat_volume.h>

#include <cstdlib>
#include <map>

namespace file_tests {
namespace {

MountedStore Mounted(std::u16string_view folder, std::shared_ptr<platform::FileBackend> store,
                     std::function<void(bool)> writeProtect) {
    auto faults = std::make_shared<FaultyBackend>(std::move(store));
    if (!writeProtect) writeProtect = [faults](bool on) { faults->SetWriteProtected(on); };
    if (folder.empty()) {
        platform::MountRoot(faults);
    } else {
        EXPECT_EQ(platform::Mount(folder, faults), 0u);
    }
    return {folder.empty() ? u"" : u"\\" + std::u16string(folder), std::move(writeProtect), faults, {}};
}

MountedStore Memory(std::u16string_view folder) {
    auto store = std::make_shared<platform::MemoryBackend>();
    return Mounted(folder, store, [store](bool on) { store->SetWriteProtected(on); });
}

MountedStore HostFolder(const std::filesystem::path& where) {
    return Mounted({}, std::make_shared<platform::HostFolderBackend>(
                           platform::HostFolderOptions{where / "store", {}, {}}),
                   {});
}

// A 40 MB FAT16 volume made by mkfs.fat (the drive's medium) on the test DSK device, mounted at
// \F (one letter, as \V, so that a 255-character name still fits a 259-character path). The
// device stays registered until the test ends, so mounting again finds the same disk.
MountedStore Fat(const std::filesystem::path& where) {
    using testing_support::MemoryDiskDevice;
    static std::map<std::filesystem::path, std::weak_ptr<MemoryDiskDevice>> devices;
    auto device = devices[where].lock();
    if (!device) {
        const auto image = where / "fat16.img";
        const std::string mkfs = "mkfs.fat -C -F 16 '" + image.string() + "' 40960 >/dev/null 2>&1";
        EXPECT_EQ(std::system(mkfs.c_str()), 0) << "mkfs.fat (dosfstools) failed or is missing";
        device = MemoryDiskDevice::OverImage(image);
        EXPECT_NE(device ? MemoryDiskDevice::Register(1, device) : nullptr, nullptr);
        devices[where] = device;
    }
    EXPECT_EQ(platform::MountFatVolume(u"F", u"DSK1:"), 0u);
    // The volume takes a refused write as the card's switch and refuses every change from then
    // on; the switch is read again when the card goes back in, so switching it off remounts.
    auto writeProtect = [device](bool on) {
        device->SetWriteProtected(on);
        if (!on && platform::UnmountFatVolume(u"F") == 0) {
            EXPECT_EQ(platform::MountFatVolume(u"F", u"DSK1:"), 0u);
        }
    };
    auto unmount = std::shared_ptr<void>(nullptr, [](void*) { (void)platform::UnmountFatVolume(u"F"); });
    return {u"\\F", writeProtect, nullptr, unmount};
}

}  // namespace

const std::vector<StoreFactory>& StoreFactories() {
    constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
    static const std::vector<StoreFactory> factories = {
        {"Memory", [](const auto&) { return Memory({}); }, ListingOrder::Creation, false, kFolder},
        {"MemoryMounted", [](const auto&) { return Memory(u"V"); }, ListingOrder::Creation, false, kFolder},
        {"HostFolder", HostFolder, ListingOrder::Name, true, kFolder},
        {"Fat16", Fat, ListingOrder::Slot, true, kFolder | FILE_ATTRIBUTE_TEMPORARY},
    };
    return factories;
}

std::u16string& StoreFolder() {
    static std::u16string folder;
    return folder;
}

INSTANTIATE_TEST_SUITE_P(Stores, FileApi, ::testing::ValuesIn(StoreFactories()), StoreName);

}  // namespace file_tests
