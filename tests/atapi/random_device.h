// A drive that answers every register read from a script of bytes (then 0 once the script
// runs out) and ignores every write; the script may also pull the card after a number of
// accesses. Used to put every entry point through arbitrary device behaviour: each must
// return within a bounded number of accesses, with a result its caller is prepared for, a
// sound medium state and nothing written outside the buffers it was given.
#pragma once

#include <drive/drive_context.h>
#include <platform/clock.h>
#include <platform/io_window.h>
#include <qvatapi.h>

#include "qvatapi_library.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <span>
#include <vector>

namespace atapi_test {

// Buffers laid out one after another with guard bytes before, between and after them.
class GuardedBuffers {
public:
    static constexpr size_t kGuard = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

    explicit GuardedBuffers(std::initializer_list<DWORD> lengths) {
        size_t offset = kGuard;
        for (const DWORD length : lengths) {
            starts_.push_back(offset);
            lengths_.push_back(length);
            offset += length + kGuard;
        }
        bytes_.assign(offset, kGuardByte);
    }
    BYTE* Buffer(size_t index) { return bytes_.data() + starts_[index]; }
    DWORD Length(size_t index) const { return lengths_[index]; }
    bool GuardsIntact() const {
        size_t guardStart = 0;
        for (size_t i = 0; i <= starts_.size(); ++i) {
            const size_t guardEnd = i < starts_.size() ? starts_[i] : bytes_.size();
            for (size_t at = guardStart; at < guardEnd; ++at) {
                if (bytes_[at] != kGuardByte) return false;
            }
            if (i < starts_.size()) guardStart = starts_[i] + lengths_[i];
        }
        return true;
    }

private:
    std::vector<BYTE> bytes_;
    std::vector<size_t> starts_;
    std::vector<DWORD> lengths_;
};

// The entry points (and the codes of Command) and the results each may give.
enum class EntryPoint {
    Init, CheckMedia, Read, Write, Raw251, Raw254, Reset255, Info250, Removal252, Close
};

inline bool ResultAllowed(EntryPoint entryPoint, DWORD result) {
    const auto in = [result](std::initializer_list<DWORD> allowed) {
        return std::find(allowed.begin(), allowed.end(), result) != allowed.end();
    };
    switch (entryPoint) {
        case EntryPoint::Init: return in({0, 1});
        case EntryPoint::CheckMedia: return in({0, ERR_PHASE, ERR_ABORTED, ERR_DEVICE});
        case EntryPoint::Read:
        case EntryPoint::Write: return in({0, 19, 20, 21, ERR_PHASE, ERR_ABORTED, ERR_DEVICE});
        case EntryPoint::Raw251:
        case EntryPoint::Raw254:
        case EntryPoint::Reset255:
            return in({0, 19, 20, 21, ERR_PHASE, ERR_ABORTED, ERR_DEVICE, ERR_SHORT_TRANSFER});
        case EntryPoint::Info250:
        case EntryPoint::Close: return result == 0;
        case EntryPoint::Removal252: return in({0, 20});
    }
    return false;
}

// What one run did, and the first check it failed (null when all held).
struct RunOutcome {
    uint64_t accesses = 0;
    EntryPoint entryPoint = EntryPoint::Close;
    DWORD result = 0;
    const char* violation = nullptr;
};

// Checks what every entry point owes its caller, whatever the drive did.
inline const char* CheckRun(EntryPoint entryPoint, DWORD result, const DriveContext& context,
                            std::initializer_list<const GuardedBuffers*> buffers) {
    if (!ResultAllowed(entryPoint, result)) return "a result outside the entry point's set";
    if (context.mediumPresent > 1) return "mediumPresent neither 0 nor 1";
    for (const GuardedBuffers* each : buffers) {
        if (!each->GuardsIntact()) return "a write outside the request's buffers";
    }
    return nullptr;
}

class RandomDevice : public platform::IoDevice {
public:
    RandomDevice(std::span<const uint8_t> script, uint64_t pullAfter)
        : script_(script), pullAfter_(pullAfter) {}

    uint64_t accesses = 0;
    std::function<void()> onPull;

    uint8_t Read8(uint32_t) override {
        Count();
        return Next();
    }
    uint16_t Read16(uint32_t) override {
        Count();
        const uint8_t low = Next();
        return static_cast<uint16_t>(low | (Next() << 8));
    }
    void Write8(uint32_t, uint8_t) override { Count(); }
    void Write16(uint32_t, uint16_t) override { Count(); }

private:
    uint8_t Next() { return position_ < script_.size() ? script_[position_++] : 0; }
    void Count() {
        if (++accesses == pullAfter_ && onPull) onPull();
    }

    std::span<const uint8_t> script_;
    size_t position_ = 0;
    uint64_t pullAfter_;
};

// Runs one entry point, chosen by the first script byte, against a RandomDevice answering
// from the rest, and checks what it left.
inline RunOutcome RunEntryPointOnScript(std::span<const uint8_t> input) {
    RunOutcome outcome;
    if (input.size() < 4) return outcome;
    const uint8_t flags = input[1];
    const uint64_t pullAfter = flags & 0x80 ? uint64_t{input[2]} * 8 + 1 : 0;
    RandomDevice device(input.subspan(4), pullAfter);

    SocketRecord socket{};
    InitializeCriticalSection(&socket.socketLock);
    SetSocketState(socket, SOCKET_STATE_USABLE);
    socket.socketWideBus = flags & 1;
    PUCHAR window = platform::MapIoWindow(device, 16);
    std::atomic<PUCHAR> mapped{window};
    device.onPull = [&] {
        SetSocketState(socket, 0);
        if (PUCHAR w = mapped.exchange(nullptr)) platform::UnmapIoWindow(w);
    };

    DriveContext context{};
    context.registerWindow = window;
    context.controlRegister = window + 0x0E;
    context.socket = &socket;
    context.deviceKind = flags & 2 ? DEVICE_KIND_ATA : 0;
    context.driveSelect = flags & 4 ? 0xB0 : 0xA0;
    context.mediumPresent = flags & 8 ? 1 : 0;
    context.mediaFlags = flags & 0x10 ? MF_MEDIUM_KNOWN : 0;
    context.diskInfo.bytesPerSector = flags & 0x20 ? 512 : 0;
    const char16_t name[] = u"Storage";
    std::memcpy(context.folderName, name, sizeof name);

    GuardedBuffers segments{1024, 2048, 1024};
    DiskRequestWith<3> request;
    request.startSector = input[3];
    for (DWORD i = 0; i < 3; ++i) {
        request.segments[i] = DiskSegment{segments.Buffer(i), segments.Length(i)};
    }
    GuardedBuffers data{(input[2] & 0x0Fu) * 256u + (input[2] >> 4)};
    CommandRecord record{};
    record.command.packet[0] = input[3];
    record.command.buffer = data.Buffer(0);
    record.command.length = data.Length(0);
    record.command.direction = flags & 0x40;
    record.command.timeout = 2000;  // a time-out of 0 would wait for the device without end

    const QvatapiLibrary& qv = QvatapiLibrary::Get();
    const struct {
        EntryPoint entryPoint;
        std::function<DWORD()> run;
    } entryPoints[] = {
        {EntryPoint::Init, [&] { return qv.init(&context); }},
        {EntryPoint::CheckMedia, [&] { return qv.checkMedia(&context); }},
        {EntryPoint::Read, [&] { return qv.read(&context, request.request()); }},
        {EntryPoint::Write, [&] { return qv.write(&context, request.request()); }},
        {EntryPoint::Raw251, [&] { return qv.command(&context, 251, &record); }},
        {EntryPoint::Raw254, [&] { return qv.command(&context, 254, &record); }},
        {EntryPoint::Reset255, [&] { return qv.command(&context, 255, nullptr); }},
        {EntryPoint::Info250, [&] { return qv.command(&context, 250, &record); }},
        {EntryPoint::Removal252, [&] { return qv.command(&context, 252, nullptr); }},
        {EntryPoint::Close, [&] { return qv.close(&context); }},
    };
    const auto& chosen = entryPoints[input[0] % 10];
    outcome.entryPoint = chosen.entryPoint;
    outcome.result = chosen.run();
    outcome.accesses = device.accesses;
    outcome.violation = CheckRun(chosen.entryPoint, outcome.result, context, {&segments, &data});
    if (PUCHAR w = mapped.exchange(nullptr)) platform::UnmapIoWindow(w);
    DeleteCriticalSection(&socket.socketLock);
    return outcome;
}

}  // namespace atapi_test
