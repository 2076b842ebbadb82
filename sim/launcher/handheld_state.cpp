#include "handheld_state.h"

#include "default_registry.h"

#include <platform/registry_hive.h>

namespace fs = std::filesystem;

namespace sim {

BootResult BootHandheld(const fs::path& stateFolder) {
    BootResult result;
    std::error_code error;
    fs::create_directories(stateFolder, error);
    if (error) return {false, false, "cannot create " + stateFolder.string() + ": " + error.message()};
    const fs::path hive = stateFolder / "registry.reg";
    if (!fs::exists(hive)) {
        result.firstRun = true;
        if (auto imported = platform::ImportRegistryText(DefaultRegistryText()); !imported.ok) {
            return {false, true, "default registry: " + imported.message};
        }
        if (auto saved = platform::SaveRegistryFile(hive); !saved.ok) {
            return {false, true, saved.message};
        }
    }
    if (auto bound = platform::BindRegistryFile(hive); !bound.ok) {
        return {false, result.firstRun, bound.message};
    }
    return result;
}

}  // namespace sim
