// The stores the file API's rules run on.
#include "store_suite.h"

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

}  // namespace

const std::vector<StoreFactory>& StoreFactories() {
    static const std::vector<StoreFactory> factories = {
        {"Memory", [](const auto&) { return Memory({}); }, ListingOrder::Creation, false},
        {"MemoryMounted", [](const auto&) { return Memory(u"V"); }, ListingOrder::Creation, false},
        {"HostFolder", HostFolder, ListingOrder::Name, true},
    };
    return factories;
}

std::u16string& StoreFolder() {
    static std::u16string folder;
    return folder;
}

INSTANTIATE_TEST_SUITE_P(Stores, FileApi, ::testing::ValuesIn(StoreFactories()), StoreName);

}  // namespace file_tests
