// The simulated handheld's state folder: everything the device keeps between runs: the registry
// hive (registry.reg), the object store (store/, a host folder) and the card's disk (card/).
#pragma once

#include <filesystem>
#include <string>

namespace sim {

struct BootResult {
    bool ok = true;
    bool firstRun = false;
    std::string message;
};

// Creates the folder with the default device on first run, then binds the registry to it and
// mounts the object store (with the help files in \Windows) as the root.
BootResult BootHandheld(const std::filesystem::path& stateFolder);

}  // namespace sim
