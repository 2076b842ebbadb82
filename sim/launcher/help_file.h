// Tandel's help file, placed in the handheld's \Windows folder where the help viewer finds it.
#pragma once

#include <string_view>

namespace sim {

inline constexpr char16_t kHelpFileName[] = u"Quorva Tools for Windows CE.htc";
std::string_view TandelHelpText();

}  // namespace sim
