// Splitting a script line into words and quoted texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::ui::automation::detail {

// Words of a line; nothing when a quote is not closed. A '#' outside quotes ends the line.
std::optional<std::vector<std::string>> SplitScriptLine(const std::string& line);

}  // namespace platform::ui::automation::detail
