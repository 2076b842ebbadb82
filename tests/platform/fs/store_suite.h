// One suite of the file API's rules, run on every store (memory, host folder, FAT) so the stores
// cannot drift apart. Each store comes from a factory in the list of store_factories.cpp; a test
// names its paths with At(), which puts them inside the folder the store is mounted at.
#pragma once

#include "file_helpers.h"

#include <filesystem>
#include <functional>

#include <platform/devices.h>

namespace file_tests {

// A store mounted for one test.
struct MountedStore {
    std::u16string folder;                  // u"" for the root, else u"\\<mount folder>"
    std::function<void(bool)> writeProtect;  // the medium's write-protect switch
    std::shared_ptr<FaultyBackend> faults;  // null where the store cannot be wrapped in one
    std::shared_ptr<void> medium;           // whatever must live while it is mounted
};

// Slot: a FAT folder lists in the order of its directory slots, which is creation order until a
// deletion frees slots that a later name takes.
enum class ListingOrder { Creation, Name, Slot };

struct StoreFactory {
    std::string name;
    // Mounts a store whose medium lives under `where`: a fresh one the first time, the same
    // medium again when called again (as after switching the handheld off and on).
    std::function<MountedStore(const std::filesystem::path& where)> mount;
    ListingOrder order;
    bool outlivesItsMount;  // whether a second mount finds what the first one left
    DWORD topAttributes;    // of the folder it is mounted at: a card's volume adds temporary
};

const std::vector<StoreFactory>& StoreFactories();
inline void PrintTo(const StoreFactory& factory, std::ostream* out) { *out << factory.name; }
inline std::string StoreName(const ::testing::TestParamInfo<StoreFactory>& info) {
    return info.param.name;
}

// The folder the running test's store is mounted at.
std::u16string& StoreFolder();

// A CE path inside the store under test.
struct StorePath {
    std::u16string text;
    operator const char16_t*() const { return text.c_str(); }
};

inline StorePath At(std::u16string_view path) { return {StoreFolder() + std::u16string(path)}; }

// The store under test mounted, the virtual clock set.
class FileApi : public ::testing::TestWithParam<StoreFactory> {
protected:
    void SetUp() override {
        clock_ = &platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
        MountStore();
    }
    void TearDown() override {
        platform::ResetFileSystem();
        store_ = {};
        platform::ResetDevices();
        platform::UseRealClock();
        StoreFolder().clear();
    }

    // Mounts the same medium afresh, as after the handheld was switched off and on.
    void Restart() {
        platform::ResetFileSystem();
        store_ = {};
        card_.reset();
        MountStore();
    }

    const MountedStore& Store() const { return store_; }
    FaultyBackend& Faults() { return *store_.faults; }
    // A memory store beside the one under test, at \Card.
    platform::MemoryBackend& MountCard() {
        if (!card_) {
            card_ = std::make_shared<platform::MemoryBackend>();
            EXPECT_EQ(platform::Mount(u"Card", card_), 0u);
        }
        return *card_;
    }
    platform::VirtualClock& Clock() { return *clock_; }

private:
    void MountStore() {
        store_ = GetParam().mount(temp_.Path());
        StoreFolder() = store_.folder;
    }

    TempFolder temp_;
    MountedStore store_;
    std::shared_ptr<platform::MemoryBackend> card_;
    platform::VirtualClock* clock_ = nullptr;
};

constexpr const char* kNoFaultLayer = "this store is not wrapped in a fault layer";

}  // namespace file_tests
