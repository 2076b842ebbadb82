// 8.3 short names: the alias every long name carries, generated the way Windows does
// (README.TXT when the name fits as it is, LETTER~1.TXT and growing numeric tails after that,
// a hashed form once a few tails are taken), and the checksum that ties long-name slots to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform::fat {

using ShortName = std::array<uint8_t, 11>;  // base padded to 8, extension to 3, upper case

uint8_t ShortNameChecksum(const ShortName& name);
// The short name as listed: BASE.EXT, letters lowered where the entry's case flags say so.
std::u16string DisplayShortName(const ShortName& name, uint8_t caseFlags);
// The name stored as it is, when it is already a valid upper-case 8.3 name.
bool ExactShortName(std::u16string_view name, ShortName& out);
// The first alias for name that taken() refuses. False when every candidate is taken.
bool GenerateAlias(std::u16string_view name, const std::function<bool(const ShortName&)>& taken,
                   ShortName& out);

}  // namespace platform::fat
