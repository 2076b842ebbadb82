#include "identify_data.h"

namespace sim {
namespace {

constexpr uint16_t kPacketGeneralConfig = 0x80C0;  // ATAPI, removable, 12-byte packets
constexpr uint16_t kAtaGeneralConfig = 0x0080;     // removable medium
constexpr uint16_t kLbaSupported = 0x0200;

void PutWord(IdentifyData& data, unsigned word, uint16_t value) {
    data[word * 2] = static_cast<uint8_t>(value);
    data[word * 2 + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

void PutIdentifyString(IdentifyData& data, unsigned firstWord, unsigned words,
                       std::string_view text) {
    for (unsigned i = 0; i < words * 2; ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        // First character of each pair in the high byte of the word.
        data[firstWord * 2 + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

IdentifyData BuildIdentifyData(const IdentifyFacts& facts) {
    IdentifyData data{};
    PutWord(data, 0, facts.packetDevice ? kPacketGeneralConfig : kAtaGeneralConfig);
    PutWord(data, 1, facts.cylinders);
    PutWord(data, 3, facts.heads);
    PutWord(data, 6, facts.sectorsPerTrack);
    PutIdentifyString(data, 10, 10, "QV0000000001");
    PutIdentifyString(data, 23, 4, "1.00");
    PutIdentifyString(data, 27, 20, facts.model);
    PutWord(data, 49, facts.lbaCapable ? kLbaSupported : 0);
    if (!facts.packetDevice) {
        PutWord(data, 60, static_cast<uint16_t>(facts.totalBlocks));
        PutWord(data, 61, static_cast<uint16_t>(facts.totalBlocks >> 16));
    }
    return data;
}

}  // namespace sim
