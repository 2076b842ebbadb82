// The 512 bytes of IDENTIFY DEVICE / IDENTIFY PACKET DEVICE: 256 little-endian words.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sim {

struct IdentifyFacts {
    bool packetDevice = true;
    std::string_view model;
    bool lbaCapable = true;
    uint16_t cylinders = 0, heads = 0, sectorsPerTrack = 0;
    uint32_t totalBlocks = 0;  // words 60..61 (ATA)
};

using IdentifyData = std::array<uint8_t, 512>;

IdentifyData BuildIdentifyData(const IdentifyFacts& facts);

// Identify strings hold two characters a word, the first in the high byte, space padded.
void PutIdentifyString(IdentifyData& data, unsigned firstWord, unsigned words,
                       std::string_view text);

}  // namespace sim
