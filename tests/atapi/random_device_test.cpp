// Every entry point against drives drawn at random: one that answers every read with noise,
// and one that keeps to the protocol in bursts of random sizes with rare faults, against which
// Write and Read run to the end and read back what was written.
#include <gtest/gtest.h>

#include <random>

#include "drive_fixture.h"
#include "random_device.h"

namespace atapi_test {
namespace {

// Status values that steer into the protocol's branches more often than plain noise.
constexpr uint8_t kTelling[] = {0x00, 0x08, 0x10, 0x40, 0x41, 0x48, 0x50, 0x51,
                                0x58, 0x80, 0x81, 0xFF, 0x14, 0xEB, 0x55, 0xAA};

const char* Name(EntryPoint entryPoint) {
    constexpr const char* names[] = {"Init", "CheckMedia", "Read", "Write", "Command 251",
                                     "Command 254", "Command 255", "Command 250", "Command 252",
                                     "Close"};
    return names[static_cast<int>(entryPoint)];
}

std::vector<uint8_t> NoiseScript(std::mt19937& random) {
    std::uniform_int_distribution<int> length(4, 3000);
    std::vector<uint8_t> script(static_cast<size_t>(length(random)));
    for (size_t i = 0; i < script.size(); ++i) {
        const uint32_t draw = random();
        // The first four bytes choose the entry point and the context: every choice alike.
        const bool telling = i >= 4 && draw % 4 != 0;
        script[i] = telling ? kTelling[(draw >> 8) % 16] : static_cast<uint8_t>(draw >> 8);
    }
    return script;
}

TEST(RandomDevice, EveryEntryPointEndsSoundlyAgainstNoise) {
    platform::VirtualClock& clock =
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
    ASSERT_NE(QvatapiLibrary::Get().module, nullptr);
    std::mt19937 random(20261208);
    for (int run = 0; run < 3000; ++run) {
        const uint64_t before = clock.ElapsedMilliseconds();
        const RunOutcome outcome = RunEntryPointOnScript(NoiseScript(random));
        EXPECT_EQ(outcome.violation, nullptr)
            << Name(outcome.entryPoint) << " gave " << outcome.result << ": "
            << outcome.violation << ", run " << run;
        // The script is at most 3000 bytes; once it is spent the device reads 0, which no
        // wait of the library polls on for long.
        EXPECT_LT(outcome.accesses, 400000u) << "run " << run;
        EXPECT_LT(clock.ElapsedMilliseconds() - before, 600000u) << "run " << run;
    }
}

// The rare faults of a drive that keeps to the protocol, and what the request then gives.
enum class Fault { None, RecoveredError, MediumError, UnitAttention, ZeroCount, ShortSense };

DWORD ExpectedResult(Fault fault) {
    switch (fault) {
        case Fault::UnitAttention:
        case Fault::ZeroCount: return 21;
        case Fault::ShortSense: return ERR_PHASE;  // 18 bytes of the 26 asked for
        default: return 0;
    }
}

// The scripted packet device with a registered medium behind a real window.
class ProtocolDrive {
public:
    explicit ProtocolDrive(bool wide) {
        InitializeCriticalSection(&socket_.socketLock);
        SetSocketState(socket_, SOCKET_STATE_USABLE);
        window_ = platform::MapIoWindow(drive_, ScriptedDrive::kWindowSize);
        drive_.tracing = false;
        context.registerWindow = window_;
        context.controlRegister = window_ + ScriptedDrive::kControlOffset;
        context.socket = &socket_;
        context.driveSelect = 0xA0;
        context.wideDataPath = wide ? 1 : 0;
        context.mediumPresent = 1;
        context.mediaFlags = MF_MEDIUM_KNOWN;
        context.diskInfo.bytesPerSector = 512;
    }
    ~ProtocolDrive() {
        platform::UnmapIoWindow(window_);
        DeleteCriticalSection(&socket_.socketLock);
    }

    // The reply to the next READ(10) or WRITE(10), in bursts drawn at random, after the fault.
    void Answer(uint8_t opcode, Reply reply, Fault fault, std::mt19937& random) {
        script.sense.clear();  // what a short sense left unreported
        DWORD left = static_cast<DWORD>(opcode == 0x28 ? reply.data.size() : reply.takes);
        while (left != 0) {
            const DWORD burst = std::min<DWORD>(left, 2 * (1 + random() % 384));
            reply.bursts.push_back(burst);
            left -= burst;
        }
        reply.busyPolls = static_cast<int>(random() % 4);
        if (fault == Fault::ZeroCount) {
            reply.bursts.insert(reply.bursts.begin() + random() % reply.bursts.size(), 0);
        }
        if (fault == Fault::RecoveredError) script.Queue(opcode, Fails(0x01, 0x17));
        if (fault == Fault::MediumError) script.Queue(opcode, Fails(0x03, 0x11));
        if (fault == Fault::UnitAttention) script.Queue(opcode, Fails(0x06, 0x29));
        if (fault == Fault::ShortSense) {
            script.Queue(opcode, Fails(0x03, 0x11));
            script.Queue(0x03, Returns(Bytes(18)));
        }
        script.Queue(opcode, reply);
    }

    DriveContext context{};
    ScriptedDrive drive_;
    PacketScript script{drive_};

private:
    SocketRecord socket_{};
    PUCHAR window_ = nullptr;
};

Fault DrawFault(std::mt19937& random) {
    const uint32_t draw = random() % 32;
    return draw < 5 ? static_cast<Fault>(draw + 1) : Fault::None;
}

// A request of 1 to 8 blocks over three segments of random even lengths (an empty one too),
// with guard bytes around each.
class RandomRequest {
public:
    explicit RandomRequest(std::mt19937& random)
        : total_(512 * (1 + random() % 8)), segments_(Lengths(random, total_)) {
        request_.startSector = random() % 1000;
        for (DWORD i = 0; i < 3; ++i) {
            request_.segments[i] = DiskSegment{segments_.Buffer(i), segments_.Length(i)};
        }
    }
    DWORD Total() const { return total_; }
    DiskRequest* Request() { return request_.request(); }
    const GuardedBuffers& Segments() const { return segments_; }
    void Fill(const std::vector<uint8_t>& bytes) {
        for (DWORD i = 0, at = 0; i < 3; at += segments_.Length(i++)) {
            std::copy_n(bytes.begin() + at, segments_.Length(i), segments_.Buffer(i));
        }
    }
    std::vector<uint8_t> Contents() {
        std::vector<uint8_t> bytes;
        for (DWORD i = 0; i < 3; ++i) {
            const BYTE* start = segments_.Buffer(i);
            bytes.insert(bytes.end(), start, start + segments_.Length(i));
        }
        return bytes;
    }

private:
    static GuardedBuffers Lengths(std::mt19937& random, DWORD total) {
        const auto evenCut = [&] { return static_cast<DWORD>(2 * (random() % (total / 2 + 1))); };
        const DWORD first = evenCut();
        const DWORD second = evenCut();
        const DWORD low = std::min(first, second);
        const DWORD high = std::max(first, second);
        return GuardedBuffers{low, high - low, total - high};
    }

    DWORD total_;
    GuardedBuffers segments_;
    DiskRequestWith<3> request_;
};

TEST(RandomDevice, WriteAndReadRunToTheEndAgainstADriveThatKeepsToTheProtocol) {
    platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
    const QvatapiLibrary& qv = QvatapiLibrary::Get();
    ASSERT_NE(qv.module, nullptr);
    std::mt19937 random(19990318);
    int readBack = 0;
    for (int run = 0; run < 600; ++run) {
        ProtocolDrive drive(random() % 2 == 0);
        RandomRequest request(random);
        const std::vector<uint8_t> written = Bytes(request.Total(), static_cast<uint8_t>(run));
        std::vector<uint8_t> medium(request.Total(), 0);  // what the drive holds

        request.Fill(written);
        const Fault writeFault = DrawFault(random);
        drive.Answer(0x2A, Takes(request.Total()), writeFault, random);
        const DWORD writeResult = qv.write(&drive.context, request.Request());
        EXPECT_EQ(writeResult, ExpectedResult(writeFault)) << "run " << run;
        if (writeResult == 0 && !drive.script.written.empty()) {
            EXPECT_EQ(drive.script.written.back(), written) << "run " << run;
            medium = drive.script.written.back();
        }
        EXPECT_STREQ(CheckRun(EntryPoint::Write, writeResult, drive.context,
                              {&request.Segments()}), nullptr) << "run " << run;

        request.Fill(std::vector<uint8_t>(request.Total(), 0));
        const Fault readFault = DrawFault(random);
        drive.Answer(0x28, Returns(medium), readFault, random);
        const DWORD readResult = qv.read(&drive.context, request.Request());
        EXPECT_EQ(readResult, ExpectedResult(readFault)) << "run " << run;
        if (readResult == 0) {
            EXPECT_EQ(request.Contents(), medium) << "run " << run;
        }
        EXPECT_STREQ(CheckRun(EntryPoint::Read, readResult, drive.context,
                              {&request.Segments()}), nullptr) << "run " << run;
        EXPECT_EQ(drive.context.mediumPresent, 1u) << "run " << run;
        readBack += writeResult == 0 && readResult == 0;
    }
    EXPECT_GT(readBack, 400);  // most runs see no fault at all
}

}  // namespace
}  // namespace atapi_test
