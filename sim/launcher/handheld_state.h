// The simulated handheld's state folder: everything the device keeps between runs (today the
// registry hive; the object store and the drive's disk image join it).
#pragma once

#include <filesystem>
#include <string>

namespace sim {

struct BootResult {
    bool ok = true;
    bool firstRun = false;
    std::string message;
};

// Creates the folder with the default device on first run, then binds the registry to it.
BootResult BootHandheld(const std::filesystem::path& stateFolder);

}  // namespace sim
