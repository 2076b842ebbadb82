// Test device for the register accessors: answers reads from a register array and records
// every access, counting them atomically so that other threads may watch.
#pragma once

#include <platform/io_window.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace tests {

struct Access {
    char kind;  // 'r' / 'w' for bytes, 'R' / 'W' for words
    uint32_t offset;
    uint16_t value;
    bool operator==(const Access&) const = default;
};

class RecordingDevice final : public platform::IoDevice {
public:
    std::array<uint8_t, 16> registers{};
    std::atomic<uint64_t> accessCount{0};
    std::function<void()> onAccess;  // runs inside every access, after it is recorded

    uint8_t Read8(uint32_t offset) override {
        const uint8_t value = registers.at(offset);
        Note({'r', offset, value});
        return value;
    }
    void Write8(uint32_t offset, uint8_t value) override {
        registers.at(offset) = value;
        Note({'w', offset, value});
    }
    uint16_t Read16(uint32_t offset) override {
        const auto value = static_cast<uint16_t>(registers.at(offset) | registers.at(offset + 1) << 8);
        Note({'R', offset, value});
        return value;
    }
    void Write16(uint32_t offset, uint16_t value) override {
        registers.at(offset) = static_cast<uint8_t>(value);
        registers.at(offset + 1) = static_cast<uint8_t>(value >> 8);
        Note({'W', offset, value});
    }
    std::vector<Access> Log() {
        std::lock_guard hold(lock_);
        return log_;
    }

private:
    void Note(Access access) {
        {
            std::lock_guard hold(lock_);
            log_.push_back(access);
        }
        accessCount.fetch_add(1);
        if (onAccess) onAccess();
    }
    std::mutex lock_;
    std::vector<Access> log_;
};

}  // namespace tests
