// The one registry of the simulated handheld: its tree, the open key handles and the file the
// hive is written through to.
#pragma once

#include "registry_tree.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform::registry {

struct State {
    std::mutex mutex;
    Tree tree;
    std::unordered_map<uintptr_t, std::shared_ptr<Key>> handles;
    uintptr_t nextHandle = 0x10000;
    std::optional<std::filesystem::path> boundFile;
};

State& TheRegistry();
// After a change: writes the hive to the bound file, if any. Caller holds the mutex.
void WriteThrough(State& state);

}  // namespace platform::registry
