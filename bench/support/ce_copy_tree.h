// The walk a backup makes through the CE file API: list with *.*, recurse into folders, copy
// each file. The benchmarks time it against the PC's tools.
#pragma once

#include <string>

namespace bench_support {

// Copies the folder `from` to `to` (which must not exist yet); false at the first failure.
bool CopyTree(const std::u16string& from, const std::u16string& to);

}  // namespace bench_support
