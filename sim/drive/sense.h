// What the drive reports through REQUEST SENSE: the sense of the last failed command, and the
// unit attentions waiting to be reported, oldest first.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

namespace sim {

struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool operator==(const Sense&) const = default;
};

namespace sense {
constexpr uint8_t kNotReady = 2;
constexpr uint8_t kMediumError = 3;
constexpr uint8_t kIllegalRequest = 5;
constexpr uint8_t kUnitAttention = 6;
constexpr uint8_t kDataProtect = 7;

constexpr uint8_t kAscBecomingReady = 0x04;
constexpr uint8_t kAscWriteError = 0x0C;
constexpr uint8_t kAscUnrecoveredReadError = 0x11;
constexpr uint8_t kAscParameterListLength = 0x1A;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscLbaOutOfRange = 0x21;
constexpr uint8_t kAscInvalidFieldInPacket = 0x24;
constexpr uint8_t kAscInvalidFieldInParameters = 0x26;
constexpr uint8_t kAscWriteProtected = 0x27;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscPowerOnOrReset = 0x29;
constexpr uint8_t kAscIncompatibleMedium = 0x30;
constexpr uint8_t kAscSavingNotSupported = 0x39;
constexpr uint8_t kAscNoMedium = 0x3A;
}  // namespace sense

// Fixed-format sense data: response code 0x70, additional length 18.
constexpr uint32_t kSenseReplySize = 26;
std::array<uint8_t, kSenseReplySize> FixedFormatSense(const Sense& sense);

class SenseState {
public:
    // A unit attention is queued once: a second one of the same kind waits in the first's place.
    // Power-on or reset goes to the head, since it is the older news for the host.
    void QueueUnitAttention(uint8_t asc);
    std::optional<Sense> PendingUnitAttention() const;

    void Fail(const Sense& sense) { current_ = sense; }
    void ClearCurrent() { current_.reset(); }
    void ClearAll();

    // What REQUEST SENSE reports (the oldest unit attention, else the last failure, else no
    // sense), removed once reported.
    Sense TakeReport();

private:
    std::optional<Sense> current_;
    std::deque<uint8_t> unitAttentions_;
};

}  // namespace sim
