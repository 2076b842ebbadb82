// Where LoadLibrary finds modules. A module is a shared object whose file name is the CE file
// name (QVSETUP.DLL); names match case-insensitively, and a CE folder in the name is ignored.
// The folder of the running program is searched last.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

void SetModuleSearchPath(std::vector<std::filesystem::path> folders);
std::vector<std::filesystem::path> ModuleSearchPath();
std::optional<std::filesystem::path> FindModuleFile(std::u16string_view ceFileName);
std::filesystem::path RunningProgramFolder();

}  // namespace platform
