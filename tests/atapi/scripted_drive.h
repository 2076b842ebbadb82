// A scripted task-file device for the driver's unit tests: it answers status reads from a
// queue (the last value sticks), keeps what is written to registers 1 to 6 so it reads back,
// feeds the data register from a byte stream, collects what is written to it, and records
// every access. Hooks let a test (or PacketScript) react to commands and data.
#pragma once

#include <platform/io_window.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace atapi_test {

class ScriptedDrive : public platform::IoDevice {
public:
    static constexpr uint32_t kWindowSize = 16;
    static constexpr uint32_t kControlOffset = 0x0E;

    uint8_t registers[kWindowSize] = {};
    std::deque<uint8_t> status;
    uint8_t lastStatus = 0x50;  // DRDY|DSC: idle
    std::deque<uint8_t> dataIn;
    std::vector<uint8_t> dataOut;
    std::vector<std::string> trace;
    bool tracing = true;
    bool latchWrites = true;  // false: registers 1 to 6 keep their values (nothing answers)
    // A device in the middle of a phase owns the task file, as real drives do: writes to
    // registers 1 to 6 are dropped and so is every command except DEVICE RESET.
    bool ownsTaskFile = false;
    size_t statusReads = 0;
    size_t accesses = 0;

    std::function<uint8_t()> statusSource;  // when set, answers status reads instead of the queue
    std::function<void(uint8_t)> onCommand;
    std::function<void(uint8_t)> onControl;
    std::function<void()> onDataWritten;
    std::function<void()> onDataRead;
    std::function<void(const std::string&)> afterAccess;  // sees each access as traced

    // Status values for the next reads; the last one keeps answering.
    void Status(std::initializer_list<uint8_t> values) { status.assign(values); }
    void Data(const std::vector<uint8_t>& bytes) { dataIn.assign(bytes.begin(), bytes.end()); }
    void ByteCount(uint32_t count) {
        registers[4] = static_cast<uint8_t>(count);
        registers[5] = static_cast<uint8_t>(count >> 8);
    }

    uint8_t Read8(uint32_t offset) override {
        ++accesses;
        Note("R", offset, 0, false, false);
        if (offset == 7) return NextStatus();
        if (offset == 0) return NextDataByte();
        return registers[offset];
    }
    uint16_t Read16(uint32_t offset) override {
        ++accesses;
        Note("R", offset, 0, true, false);
        const uint8_t low = NextDataByte();
        const uint8_t high = NextDataByte();
        return static_cast<uint16_t>(low | (high << 8));
    }
    void Write8(uint32_t offset, uint8_t value) override {
        ++accesses;
        Note("W", offset, value, false, true);
        if (offset == 0) {
            dataOut.push_back(value);
            if (onDataWritten) onDataWritten();
        } else if (offset == 7) {
            if (onCommand && (!ownsTaskFile || value == 0x08)) onCommand(value);
        } else if (offset == kControlOffset) {
            if (onControl) onControl(value);
        } else if (latchWrites && !ownsTaskFile) {
            registers[offset] = value;
        }
    }
    void Write16(uint32_t offset, uint16_t value) override {
        ++accesses;
        Note("W", offset, value, true, true);
        dataOut.push_back(static_cast<uint8_t>(value));
        dataOut.push_back(static_cast<uint8_t>(value >> 8));
        if (onDataWritten) onDataWritten();
    }

    // The trace without the status polls, which depend on timing.
    std::vector<std::string> Commands() const {
        std::vector<std::string> kept;
        for (const auto& line : trace) {
            if (line != "R7") kept.push_back(line);
        }
        return kept;
    }

private:
    uint8_t NextStatus() {
        ++statusReads;
        if (statusSource) return statusSource();
        if (!status.empty()) {
            lastStatus = status.front();
            status.pop_front();
        }
        return lastStatus;
    }
    uint8_t NextDataByte() {
        uint8_t value = 0;
        if (!dataIn.empty()) {
            value = dataIn.front();
            dataIn.pop_front();
        }
        if (onDataRead) onDataRead();
        return value;
    }
    void Note(const char* kind, uint32_t offset, uint16_t value, bool wide, bool write) {
        if (!tracing && !afterAccess) return;
        char line[32];
        if (!write) {
            std::snprintf(line, sizeof line, wide ? "%s%X:16" : "%s%X", kind, offset);
        } else if (wide) {
            std::snprintf(line, sizeof line, "%s%X:16=%04X", kind, offset, value);
        } else {
            std::snprintf(line, sizeof line, "%s%X=%02X", kind, offset, value);
        }
        if (tracing) trace.emplace_back(line);
        if (afterAccess) afterAccess(line);
    }
};

}  // namespace atapi_test
