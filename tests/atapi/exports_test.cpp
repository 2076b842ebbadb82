// The entry points of the built library, loaded by file name, against the scripted device.
#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <thread>

#include "support/exported_symbols.h"
#include "drive_fixture.h"
#include "qvatapi_library.h"

namespace atapi_test {
namespace {

using Trace = std::vector<std::string>;

class Exports : public DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        ASSERT_NE(qv_.module, nullptr);
    }
    std::vector<uint8_t> Identify() {
        std::vector<uint8_t> data(512, 0);
        const char model[] = "UQROAVZ PA!T4  0";  // "QUORVA ZAPT! 40", byte-swapped words
        std::copy(model, model + 16, data.begin() + 54);
        data[98] = 0x00;
        data[99] = 0x02;  // LBA
        return data;
    }
    size_t Count(const std::string& access) const {
        return static_cast<size_t>(std::count(drive_.trace.begin(), drive_.trace.end(), access));
    }

    const QvatapiLibrary& qv_ = QvatapiLibrary::Get();
    PacketScript script_{drive_};
};

TEST(QvatapiModule, ExportsExactlyTheSixEntryPoints) {
    const auto exported = testing_support::ExportedSymbols(QVATAPI_FILE);
    ASSERT_TRUE(exported.has_value()) << "nm could not list " QVATAPI_FILE;
    EXPECT_EQ(*exported, (std::set<std::string>{"Init", "Close", "Command", "Read", "Write",
                                               "CheckMedia"}));
}

// --- Init ---

TEST_F(Exports, InitFindsADriveThatAnswersOnlyAtTheSecondPosition) {
    socket_.socketWideBus = 1;
    drive_.afterAccess = [this](const std::string& access) {
        if (access == "W6=A0") drive_.latchWrites = false;
        if (access == "W6=B0") drive_.latchWrites = true;
    };
    drive_.registers[4] = drive_.registers[5] = 0xFF;
    script_.QueueCommand(0xA1, Returns(Identify()));
    EXPECT_EQ(qv_.init(&context_), 1u);
    EXPECT_EQ(context_.driveSelect, 0xB0);
    EXPECT_EQ(context_.wideDataPath, 1u);
    EXPECT_EQ(context_.lbaCapable, 1u);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(context_.diskInfo.bytesPerSector, 512u);
    EXPECT_EQ(Count("W7=08"), 1u);
}

TEST_F(Exports, FailedInitsResetEachPositionAtMostOncePer2Seconds) {
    context_.mediumPresent = 1;
    context_.mediaFlags = MF_MEDIUM_KNOWN | MF_WRITE_PROTECTED | MF_REMOVAL_PENDING;
    drive_.latchWrites = false;  // nothing answers anywhere
    drive_.registers[4] = drive_.registers[5] = 0xFF;
    EXPECT_EQ(qv_.init(&context_), 0u);
    EXPECT_EQ(context_.driveSelect, 0xB0);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(context_.mediaFlags, MF_REMOVAL_PENDING);  // the medium is read again
    EXPECT_EQ(Count("W7=08"), 2u);
    EXPECT_EQ(context_.lastResetTick[0], Now());
    EXPECT_EQ(context_.lastResetTick[1], Now());

    clock_->Advance(2000);
    EXPECT_EQ(qv_.init(&context_), 0u);
    EXPECT_EQ(Count("W7=08"), 2u);
    clock_->Advance(1);
    EXPECT_EQ(qv_.init(&context_), 0u);
    EXPECT_EQ(Count("W7=08"), 4u);
}

TEST_F(Exports, InitOfADeviceThatIsNotOurModelFails) {
    script_.QueueCommand(0xA1, Returns(std::vector<uint8_t>(512, 'X')));
    EXPECT_EQ(qv_.init(&context_), 0u);
}

// --- Command ---

TEST_F(Exports, CodesOutsideTheTableAreRefusedWithoutTouchingAnything) {
    CommandRecord record{};
    const DriveContext before = context_;
    EXPECT_EQ(qv_.command(&context_, 249, &record), 87u);
    EXPECT_EQ(qv_.command(&context_, 256, &record), 87u);
    EXPECT_EQ(drive_.trace, Trace{});
    ExpectSameDriveState(before, context_);
}

TEST_F(Exports, DriveInformationCopiesAtMost127CharactersAndTheTerminator) {
    context_.deviceKind = 7;
    for (int i = 0; i < 256; ++i) context_.folderName[i] = u'a' + (i % 26);  // no terminator
    CommandRecord record;
    std::memset(&record, 0x5A, sizeof record);
    // Taken without the lock: the card driver may hold it elsewhere.
    EnterCriticalSection(&socket_.socketLock);
    std::thread caller([&] { EXPECT_EQ(qv_.command(&context_, 250, &record), 0u); });
    caller.join();
    LeaveCriticalSection(&socket_.socketLock);
    EXPECT_EQ(record.info.deviceKind, 7u);
    EXPECT_EQ(record.info.folderName[126], context_.folderName[126]);
    EXPECT_EQ(record.info.folderName[127], 0);
    EXPECT_EQ(record.callerArea[11], 0x5A);

    const char16_t name[] = u"Storage";
    std::memcpy(context_.folderName, name, sizeof name);
    EXPECT_EQ(qv_.command(&context_, 250, &record), 0u);
    EXPECT_EQ(std::u16string(record.info.folderName), u"Storage");
    EXPECT_EQ(reinterpret_cast<const BYTE*>(&record)[12], 7);  // deviceKind at byte 12
    EXPECT_EQ(reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(&record) + 16)[0], u'S');
}

TEST_F(Exports, ARecordIsRequiredWhereOneIsRead) {
    EXPECT_EQ(qv_.command(&context_, 250, nullptr), 87u);
    EXPECT_EQ(qv_.command(&context_, 251, nullptr), 87u);
    EXPECT_EQ(qv_.command(&context_, 254, nullptr), 87u);
}

TEST_F(Exports, PrepareRemovalOnADeadSocketForgetsTheMediumAtOnce) {
    RegisterMedium(context_, 100);
    context_.mediaFlags |= MF_WRITE_PROTECTED;
    SetBusyCount(context_, 3);
    SetSocketState(socket_, 1);
    const DWORD start = Now();
    EXPECT_EQ(qv_.command(&context_, 252, nullptr), 20u);
    EXPECT_EQ(Now(), start);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(context_.mediaFlags, MF_REMOVAL_PENDING);
}

TEST_F(Exports, PrepareRemovalWaitsForTheCardDriverToBeIdleAtMost999Times) {
    RegisterMedium(context_, 100);
    SetBusyCount(context_, 1);
    DWORD start = Now();
    EXPECT_EQ(qv_.command(&context_, 252, nullptr), 0u);
    EXPECT_EQ(Now() - start, 9990u);
    EXPECT_EQ(context_.mediaFlags, MF_REMOVAL_PENDING);
    EXPECT_EQ(qv_.command(&context_, 253, nullptr), 0u);
    EXPECT_EQ(context_.mediaFlags, 0u);

    SetBusyCount(context_, 0);
    start = Now();
    EXPECT_EQ(qv_.command(&context_, 252, nullptr), 0u);
    EXPECT_EQ(Now(), start);
    EXPECT_EQ(drive_.trace, Trace{});
}

TEST_F(Exports, APacketRequestReadsItsDataAndConfirmsTheDriveStillAnswers) {
    script_.Queue(0x12, Returns(Bytes(36)));
    std::vector<BYTE> data(36);
    CommandRecord record{};
    record.command.packet[0] = 0x12;  // INQUIRY
    record.command.packet[4] = 36;
    record.command.buffer = data.data();
    record.command.length = 36;
    record.command.timeout = 11000;
    EXPECT_EQ(qv_.command(&context_, 251, &record), 0u);
    EXPECT_EQ(data, Bytes(36));
    const Trace commands = drive_.Commands();
    EXPECT_EQ(Trace(commands.end() - 5, commands.end()),
              (Trace{"W6=A0", "W4=55", "W5=AA", "R4", "R5"}));
}

TEST_F(Exports, AFailedPacketRequestHandsBackTheSense) {
    RegisterMedium(context_, 100);
    context_.senseData[0] = 0x99;  // cleared first
    script_.Queue(0x1B, Fails(0x02, 0x3A));
    CommandRecord record{};
    record.command.packet[0] = 0x1B;
    EXPECT_EQ(qv_.command(&context_, 251, &record), 21u);
    EXPECT_EQ(record.command.senseData[0], 0x70);
    EXPECT_EQ(record.command.senseData[2], 0x02);
    EXPECT_EQ(record.command.senseData[12], 0x3A);
    EXPECT_EQ(context_.mediumPresent, 0u);
}

TEST_F(Exports, ARawPacketRequestMakesOneAttemptAndNothingElse) {
    script_.Queue(0x1B, Fails(0x02, 0x3A));
    CommandRecord record{};
    record.command.packet[0] = 0x1B;
    record.command.timeout = 15000;
    EXPECT_EQ(qv_.command(&context_, 254, &record), ERR_DEVICE);
    EXPECT_EQ(script_.Opcodes(), std::vector<uint8_t>{0x1B});
    EXPECT_EQ(record.command.senseData[12], 0);
}

TEST_F(Exports, AResetRequestResetsTheDriveWithoutTheLock) {
    EnterCriticalSection(&socket_.socketLock);
    std::thread caller([&] { EXPECT_EQ(qv_.command(&context_, 255, nullptr), 0u); });
    caller.join();
    LeaveCriticalSection(&socket_.socketLock);
    EXPECT_EQ(script_.resets, 1);
}

TEST_F(Exports, CloseDoesNothing) {
    EXPECT_EQ(qv_.close(&context_), 0u);
    EXPECT_EQ(drive_.trace, Trace{});
}

// --- Read and Write ---

TEST_F(Exports, AReadSendsOneRead10AndSpreadsTheBurstsOverTheSegments) {
    RegisterMedium(context_, 1000);
    UseWidePath(true);
    Reply reply = Returns(Bytes(2048, 3));
    reply.bursts = {600, 1000, 448};
    script_.Queue(0x28, reply);
    std::vector<BYTE> buffer(2048);
    auto request = SplitRequest<3>(0x01020304, buffer.data(), 2048);
    request.segments[0].length = 512;
    request.segments[1].buffer = buffer.data() + 512;
    request.segments[1].length = 1024;
    request.segments[2].buffer = buffer.data() + 1536;
    request.segments[2].length = 512;
    EXPECT_EQ(qv_.read(&context_, request.request()), 0u);
    EXPECT_EQ(buffer, Bytes(2048, 3));
    EXPECT_EQ(script_.packets[0],
              (std::vector<uint8_t>{0x28, 0, 0x01, 0x02, 0x03, 0x04, 0, 0x00, 0x04, 0, 0, 0}));
    const Trace commands = drive_.Commands();
    EXPECT_EQ(Trace(commands.begin(), commands.begin() + 3), (Trace{"W6=A0", "W4=00", "W5=08"}));
}

TEST_F(Exports, ReadWithoutARegisteredMediumGives20EvenWhenAllDataCame) {
    context_.diskInfo.bytesPerSector = 512;
    script_.Queue(0x28, Returns(Bytes(512)));
    std::vector<BYTE> buffer(512);
    auto request = SplitRequest<1>(0, buffer.data(), 512);
    EXPECT_EQ(qv_.read(&context_, request.request()), 20u);
    EXPECT_EQ(buffer, Bytes(512));
}

TEST_F(Exports, WriteToAProtectedMediumGives19) {
    RegisterMedium(context_, 1000);
    script_.Queue(0x2A, Fails(0x07, 0x27));
    std::vector<BYTE> buffer(1024, 0x42);
    auto request = SplitRequest<2>(5, buffer.data(), 1024);
    EXPECT_EQ(qv_.write(&context_, request.request()), 19u);
    EXPECT_NE(context_.mediaFlags & MF_WRITE_PROTECTED, 0u);

    // Even when a later write is accepted by the drive, the flag decides.
    script_.Queue(0x2A, Takes(1024));
    EXPECT_EQ(qv_.write(&context_, request.request()), 19u);
}

TEST_F(Exports, WriteSendsTheSegmentsAndFillsWhatTheDriveStillWants) {
    RegisterMedium(context_, 1000);
    Reply wantsMore = Takes(1030);  // more than the request holds, in one burst
    wantsMore.bursts = {1030};
    script_.Queue(0x2A, wantsMore);
    std::vector<BYTE> buffer = Bytes(1024, 9);
    auto request = SplitRequest<4>(5, buffer.data(), 1024);
    EXPECT_EQ(qv_.write(&context_, request.request()), 0u);
    ASSERT_EQ(script_.written.size(), 1u);
    std::vector<uint8_t> expected = buffer;
    expected.insert(expected.end(), 6, 0xDD);
    EXPECT_EQ(script_.written[0], expected);
}

TEST_F(Exports, ReadDiscardsWhatTheDriveAnnouncesBeyondTheRequest) {
    RegisterMedium(context_, 1000);
    Reply offersMore = Returns(Bytes(1024));
    offersMore.bursts = {1024};
    script_.Queue(0x28, offersMore);
    std::vector<BYTE> buffer(512 + 16, 0xEE);
    auto request = SplitRequest<1>(0, buffer.data(), 512);
    EXPECT_EQ(qv_.read(&context_, request.request()), 0u);
    EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + 512), Bytes(512));
    EXPECT_EQ(buffer[512], 0xEE);
    EXPECT_TRUE(drive_.dataIn.empty());
}

TEST_F(Exports, RequestsTheProtocolCannotCarryAreRefusedBeforeTheDriveIsTouched) {
    RegisterMedium(context_, 1000);
    std::vector<BYTE> buffer(1024);
    struct Case {
        std::vector<DWORD> lengths;
        DWORD result;
    };
    const Case table[] = {
        {{512, 511, 1}, 87},   // odd segment lengths
        {{500}, 87},           // not whole blocks
        {{65536}, 87},         // the byte count limit would be 0
        {{0x1000000, 0x1000000}, 87},  // 65536 blocks
        {{}, 87},              // nothing to move
    };
    for (const Case& c : table) {
        DiskRequestWith<4> holder;
        holder.segmentCount = static_cast<DWORD>(c.lengths.size());
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            holder.segments[i] = DiskSegment{buffer.data(), c.lengths[i]};
        }
        EXPECT_EQ(qv_.read(&context_, holder.request()), c.result);
        EXPECT_EQ(qv_.write(&context_, holder.request()), c.result);
    }
    context_.diskInfo.bytesPerSector = 0;
    auto request = SplitRequest<1>(0, buffer.data(), 512);
    EXPECT_EQ(qv_.read(&context_, request.request()), 20u);
    EXPECT_EQ(qv_.read(&context_, nullptr), 87u);
    EXPECT_EQ(drive_.trace, Trace{});
}

// The drive, holding DRQ, takes no register writes but DEVICE RESET: the request resets it
// before it returns, so the next ones need nothing else.
TEST_F(Exports, DrqWithAZeroCountEndsAReadOrWriteWith21AndTheDriveIsResetForTheNext) {
    RegisterMedium(context_, 1000);
    std::vector<BYTE> buffer(1024);
    auto request = SplitRequest<2>(0, buffer.data(), 1024);
    for (const uint8_t opcode : {0x28, 0x2A}) {
        Reply stuck = opcode == 0x28 ? Returns(Bytes(1024)) : Takes(1024);
        stuck.bursts = {512, 0};
        script_.Queue(opcode, stuck);
        const auto transfer = opcode == 0x28 ? qv_.read : qv_.write;
        const int resets = script_.resets;
        EXPECT_EQ(transfer(&context_, request.request()), 21u) << int(opcode);
        EXPECT_EQ(script_.resets, resets + 1) << int(opcode);
        EXPECT_EQ(context_.mediumPresent, 1u);
        EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);

        script_.Queue(opcode, opcode == 0x28 ? Returns(Bytes(1024, 5)) : Takes(1024));
        EXPECT_EQ(transfer(&context_, request.request()), 0u) << int(opcode);
    }
    EXPECT_EQ(buffer, Bytes(1024, 5));
    EXPECT_EQ(script_.written.back(), Bytes(1024, 5));
}

// --- CheckMedia ---

TEST_F(Exports, CheckMediaWithoutAMediumGives0AndLeavesItUnregistered) {
    script_.Queue(0x00, Fails(0x02, 0x3A));
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x00, 0x03}));
}

TEST_F(Exports, CheckMediaReadsANewMediumOnceAndThenOnlyTestsIt) {
    std::vector<uint8_t> mode(10, 0);
    mode[6] = 0x20;
    std::vector<uint8_t> status(64, 0);
    status[7] = 0x10;  // 4096 blocks
    script_.Queue(0x1A, Returns(mode));
    script_.Queue(0x06, Returns(status));
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.diskInfo.totalSectors, 4096u);
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x00, 0x1A, 0x06, 0x00}));
}

TEST_F(Exports, CheckMediaReportsOnlyTransportFailures) {
    drive_.Status({0x80});  // stuck busy
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_PHASE);
    drive_.latchWrites = false;
    drive_.registers[4] = 0;
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);  // the probe failed
    PullCard();
    EXPECT_EQ(qv_.checkMedia(&context_), 0u);  // 20 is not reported
}

TEST_F(Exports, CheckMediaOfAnAtaDeviceAsksForTheMediaStatus) {
    context_.deviceKind = DEVICE_KIND_ATA;
    drive_.onCommand = [this](uint8_t command) {
        if (command == 0xDA) {
            drive_.registers[1] = 0x02;  // no medium
            drive_.Status({0x51});
        }
    };
    EXPECT_EQ(qv_.checkMedia(&context_), ERR_DEVICE);
    EXPECT_EQ(context_.mediumPresent, 0u);
}

TEST_F(Exports, AContextWithoutASocketIsRefused) {
    DriveContext loose{};
    CommandRecord record{};
    EXPECT_EQ(qv_.init(&loose), 0u);
    EXPECT_EQ(qv_.checkMedia(&loose), 0u);
    EXPECT_EQ(qv_.read(&loose, nullptr), 20u);
    EXPECT_EQ(qv_.command(&loose, 251, &record), 20u);
    EXPECT_EQ(qv_.init(nullptr), 0u);
}

}  // namespace
}  // namespace atapi_test
