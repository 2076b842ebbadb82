// A drive that answers every register read from a script of bytes (then 0 once the script
// runs out) and ignores every write; the script may also pull the card after a number of
// accesses. Used to put every entry point through arbitrary device behaviour: each must
// return, within a bounded number of accesses, without a sanitizer finding.
#pragma once

#include <drive/drive_context.h>
#include <platform/clock.h>
#include <platform/io_window.h>
#include <qvatapi.h>

#include "qvatapi_library.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

namespace atapi_test {

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
// from the rest. Returns the number of register accesses it made.
inline uint64_t RunEntryPointOnScript(std::span<const uint8_t> input) {
    if (input.size() < 4) return 0;
    const uint8_t choice = input[0];
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

    std::vector<BYTE> buffer(4096 + 2);
    DiskRequestWith<3> request;
    request.startSector = input[3];
    request.segments[0] = DiskSegment{buffer.data(), 1024};
    request.segments[1] = DiskSegment{buffer.data() + 1024, 2048};
    request.segments[2] = DiskSegment{buffer.data() + 3072, 1024};
    CommandRecord record{};
    record.command.packet[0] = input[3];
    record.command.buffer = buffer.data();
    record.command.length = (input[2] & 0x0F) * 256u + (input[2] >> 4);
    record.command.direction = flags & 0x40;
    record.command.timeout = 2000;  // a time-out of 0 would wait for the device without end

    const QvatapiLibrary& qv = QvatapiLibrary::Get();
    switch (choice % 10) {
        case 0: qv.init(&context); break;
        case 1: qv.checkMedia(&context); break;
        case 2: qv.read(&context, request.request()); break;
        case 3: qv.write(&context, request.request()); break;
        case 4: qv.command(&context, 251, &record); break;
        case 5: qv.command(&context, 254, &record); break;
        case 6: qv.command(&context, 255, nullptr); break;
        case 7: qv.command(&context, 250, &record); break;
        case 8: qv.command(&context, 252, nullptr); break;
        default: qv.close(&context); break;
    }
    if (PUCHAR w = mapped.exchange(nullptr)) platform::UnmapIoWindow(w);
    DeleteCriticalSection(&socket.socketLock);
    return device.accesses;
}

}  // namespace atapi_test
