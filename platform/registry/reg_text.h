// The hive as REGEDIT4 text: keys in creation order, depth first; REG_SZ as quoted strings,
// REG_DWORD as dword:, everything else (and strings that would not survive quoting) as hex.
#pragma once

#include "registry_tree.h"

#include <platform/registry_hive.h>

#include <string>
#include <string_view>

namespace platform::registry {

std::string WriteRegText(const Tree& tree);
// Fills an empty tree from the text; on error the tree's content is unspecified.
HiveResult ReadRegText(std::string_view text, Tree& tree);

}  // namespace platform::registry
