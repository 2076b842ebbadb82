// The registry's store on the host: the whole hive as REGEDIT4 text (UTF-8), one file in the
// simulated handheld's state. Bound to a file, every change is written through atomically.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

struct HiveResult {
    bool ok = true;
    size_t line = 0;       // 1-based line of a malformed text, 0 when not about a line
    std::string message;   // "line 7: ..." style text, empty when ok
};

// Replaces the whole registry with the text's content. On error the registry is unchanged.
HiveResult ImportRegistryText(std::string_view text);
std::string ExportRegistryText();
HiveResult LoadRegistryFile(const std::filesystem::path& file);
HiveResult SaveRegistryFile(const std::filesystem::path& file);
// Loads the file (an absent file gives an empty registry) and writes every later change to it.
HiveResult BindRegistryFile(const std::filesystem::path& file);
void UnbindRegistryFile();
// Empties all roots (and unbinds); open key handles become stale.
void ResetRegistry();

}  // namespace platform
