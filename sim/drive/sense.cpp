#include "sense.h"

#include <algorithm>

namespace sim {

std::array<uint8_t, kSenseReplySize> FixedFormatSense(const Sense& sense) {
    std::array<uint8_t, kSenseReplySize> reply{};
    reply[0] = 0x70;
    reply[2] = sense.key;
    reply[7] = kSenseReplySize - 8;
    reply[12] = sense.asc;
    reply[13] = sense.ascq;
    return reply;
}

void SenseState::QueueUnitAttention(uint8_t asc) {
    if (std::find(unitAttentions_.begin(), unitAttentions_.end(), asc) != unitAttentions_.end()) {
        if (asc != sense::kAscPowerOnOrReset) return;
        std::erase(unitAttentions_, asc);
    }
    if (asc == sense::kAscPowerOnOrReset) {
        unitAttentions_.push_front(asc);
    } else {
        unitAttentions_.push_back(asc);
    }
}

std::optional<Sense> SenseState::PendingUnitAttention() const {
    if (unitAttentions_.empty()) return std::nullopt;
    return Sense{sense::kUnitAttention, unitAttentions_.front(), 0};
}

void SenseState::ClearAll() {
    current_.reset();
    unitAttentions_.clear();
}

Sense SenseState::TakeReport() {
    Sense report;
    if (!unitAttentions_.empty()) {
        report = Sense{sense::kUnitAttention, unitAttentions_.front(), 0};
        unitAttentions_.pop_front();
    } else if (current_) {
        report = *current_;
    }
    current_.reset();
    return report;
}

}  // namespace sim
