// Identification of the drive model and the media checks of packet and ATA devices.
#include <command_engine.h>
#include <identify.h>
#include <media_check.h>

#include <cstring>
#include <string>

#include "drive_fixture.h"

namespace atapi_test {
namespace {

using atapi::FindSubstring;
using atapi::IdentifyDrive;
using atapi::ReadAtaMediaStatus;
using atapi::ReadMediaInfo;

std::vector<uint8_t> IdentifyData(const std::string& model, uint16_t cylinders, uint16_t heads,
                                  uint16_t sectors, uint16_t capabilities) {
    std::vector<uint8_t> data(512, 0);
    auto word = [&](size_t index, uint16_t value) {
        data[2 * index] = static_cast<uint8_t>(value);
        data[2 * index + 1] = static_cast<uint8_t>(value >> 8);
    };
    word(1, cylinders);
    word(3, heads);
    word(6, sectors);
    word(49, capabilities);
    std::string field = model;
    field.resize(40, ' ');
    for (size_t i = 0; i < 40; i += 2) {
        word(27 + i / 2, static_cast<uint16_t>((uint8_t(field[i]) << 8) | uint8_t(field[i + 1])));
    }
    return data;
}

class Identify : public DriveFixture {
protected:
    DWORD IdentifyModel(const std::string& model) {
        script_.QueueCommand(0xA1, Returns(IdentifyData(model, 0, 0, 0, 0)));
        return IdentifyDrive(context_);
    }
    PacketScript script_{drive_};
};

TEST_F(Identify, TheModelIsFoundInItsUsualVariants) {
    const std::pair<std::string, bool> table[] = {
        {"QUORVA ZAPT! 40", true},
        {"QUORVA  ZAPT!   40", true},        // runs of spaces squeezed
        {"quorva zapt! 40", true},           // letters in any case
        {"Quorva Corp QUORVA ZAPT! 40", true},  // after other words
        {"QUORVA ZAPT!", false},             // without the number
        {"QUORVA ZAPT! 4O", false},
        {"QUORVA_ZAPT! 40", false},
    };
    for (const auto& [model, accepted] : table) {
        EXPECT_EQ(IdentifyModel(model), accepted ? 0u : ERR_DEVICE) << model;
    }
}

TEST_F(Identify, GeometryAndAddressingComeFromTheIdentifyWords) {
    script_.QueueCommand(0xA1, Returns(IdentifyData("QUORVA ZAPT! 40", 1000, 16, 63, 0x0200)));
    ASSERT_EQ(IdentifyDrive(context_), 0u);
    EXPECT_EQ(context_.lbaCapable, 1u);
    EXPECT_EQ(context_.diskInfo.totalSectors, 1000u * 16u * 63u);
    EXPECT_EQ(context_.diskInfo.bytesPerSector, 512u);
    EXPECT_EQ(context_.diskInfo.cylinders, 1000u);
    EXPECT_EQ(context_.diskInfo.heads, 16u);
    EXPECT_EQ(context_.diskInfo.sectorsPerTrack, 63u);
    EXPECT_EQ(context_.diskInfo.diskFlags, 1u);
    const auto commands = drive_.Commands();
    EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + 4),
              (std::vector<std::string>{"W6=A0", "W4=00", "W5=02", "W7=A1"}));
}

TEST_F(Identify, LargestGeometryWrapsInsteadOfOverflowing) {
    script_.QueueCommand(0xA1, Returns(IdentifyData("QUORVA ZAPT! 40", 0xFFFF, 0xFFFF, 0xFFFF, 0)));
    ASSERT_EQ(IdentifyDrive(context_), 0u);
    EXPECT_EQ(context_.diskInfo.totalSectors, DWORD(0xFFFFu) * 0xFFFFu * 0xFFFFu);
    EXPECT_EQ(context_.lbaCapable, 0u);
}

TEST_F(Identify, AnAtaDeviceGetsIdentifyDeviceAndAFailureChangesNothing) {
    context_.deviceKind = DEVICE_KIND_ATA;
    context_.diskInfo.totalSectors = 5;
    // The scripted device aborts 0xEC without a reply.
    EXPECT_EQ(IdentifyDrive(context_), ERR_ABORTED);
    EXPECT_EQ(drive_.Commands()[3], "W7=EC");
    EXPECT_EQ(context_.diskInfo.totalSectors, 5u);
    EXPECT_EQ(IdentifyModel("SOMEONE ELSE"), ERR_ABORTED);  // 0xA1 queued, 0xEC sent
}

TEST(FindSubstring, FoldsOnlyAsciiLettersWhenAsked) {
    auto find = [](const std::string& text, const std::string& pattern, bool caseSensitive) {
        return FindSubstring(reinterpret_cast<const BYTE*>(text.data()), DWORD(text.size()),
                             reinterpret_cast<const BYTE*>(pattern.data()), DWORD(pattern.size()),
                             caseSensitive);
    };
    EXPECT_TRUE(find("abcQUORVA", "quorva", false));
    EXPECT_FALSE(find("abcQUORVA", "quorva", true));
    EXPECT_TRUE(find("xQUORVA", "QUORVA", true));
    EXPECT_FALSE(find("\xE9", "\xC9", false));  // é is not folded to É
    EXPECT_FALSE(find("[", "{", false));        // nor anything outside a to z
    EXPECT_TRUE(find("QUORVA", "QUORVA", false));
    EXPECT_FALSE(find("QUORV", "QUORVA", false));
    EXPECT_TRUE(find("anything", "", false));
}

// --- media ---

std::vector<uint8_t> ModePage(uint8_t pageByte2) {
    std::vector<uint8_t> mode(10, 0);
    mode[0] = 9;      // mode data length
    mode[1] = 0x31;   // medium type
    mode[2] = 0x80;   // device-specific
    mode[4] = 0x2F;
    mode[5] = 4;
    mode[6] = pageByte2;
    mode[7] = 0x5A;
    return mode;
}

std::vector<uint8_t> VendorStatus(uint32_t blocks, uint8_t state) {
    std::vector<uint8_t> status(64, 0);
    status[5] = static_cast<uint8_t>(blocks >> 24);
    status[6] = static_cast<uint8_t>(blocks >> 16);
    status[7] = static_cast<uint8_t>(blocks >> 8);
    status[8] = static_cast<uint8_t>(blocks);
    status[21] = state;
    return status;
}

class MediaInfo : public DriveFixture {
protected:
    PacketScript script_{drive_};
};

TEST_F(MediaInfo, ThePageBitIsSetForTheStatusAndRestoredAfterwards) {
    script_.Queue(0x1A, Returns(ModePage(0x41)));
    script_.Queue(0x15, Takes(10));
    script_.Queue(0x06, Returns(VendorStatus(0x00013880, 0x02)));
    script_.Queue(0x15, Takes(10));
    context_.diskInfo = DiskInfo{1, 2, 3, 4, 5, 1};
    ASSERT_EQ(ReadMediaInfo(context_), 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x1A, 0x15, 0x06, 0x15}));
    EXPECT_EQ(script_.packets[0], (std::vector<uint8_t>{0x1A, 0x08, 0x2F, 0, 10, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(script_.packets[1], (std::vector<uint8_t>{0x15, 0x10, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(script_.packets[2], (std::vector<uint8_t>{0x06, 0, 0x02, 0, 64, 0, 0, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> set = ModePage(0x61);
    set[0] = set[1] = set[2] = 0;
    std::vector<uint8_t> restored = ModePage(0x41);
    restored[0] = restored[1] = restored[2] = 0;
    ASSERT_EQ(script_.written.size(), 2u);
    EXPECT_EQ(script_.written[0], set);
    EXPECT_EQ(script_.written[1], restored);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.mediaFlags, MF_MEDIUM_KNOWN);
    EXPECT_EQ(context_.diskInfo.totalSectors, 80000u);
    EXPECT_EQ(context_.diskInfo.bytesPerSector, 512u);
    EXPECT_EQ(context_.diskInfo.cylinders, 0u);
    EXPECT_EQ(context_.diskInfo.heads, 0u);
    EXPECT_EQ(context_.diskInfo.sectorsPerTrack, 0u);
    EXPECT_EQ(context_.diskInfo.diskFlags, 1u);
}

TEST_F(MediaInfo, APageAlreadySetGetsNoModeSelect) {
    script_.Queue(0x1A, Returns(ModePage(0x20)));
    script_.Queue(0x06, Returns(VendorStatus(1234, 0)));
    ASSERT_EQ(ReadMediaInfo(context_), 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x1A, 0x06}));
    EXPECT_EQ(context_.diskInfo.totalSectors, 1234u);
}

TEST_F(MediaInfo, AnUnusableMediumChangesNothingButThePageIsStillRestored) {
    context_.mediumPresent = 1;  // as it was: left alone
    script_.Queue(0x1A, Returns(ModePage(0x00)));
    script_.Queue(0x15, Takes(10));
    script_.Queue(0x06, Returns(VendorStatus(999, 0x15)));
    script_.Queue(0x15, Takes(10));
    ASSERT_EQ(ReadMediaInfo(context_), 0u);
    EXPECT_EQ(script_.Opcodes(), (std::vector<uint8_t>{0x1A, 0x15, 0x06, 0x15}));
    EXPECT_EQ(context_.mediaFlags & MF_MEDIUM_KNOWN, 0u);
    EXPECT_EQ(context_.mediumPresent, 1u);
    EXPECT_EQ(context_.diskInfo.totalSectors, 0u);
}

TEST_F(MediaInfo, TheFirstFailingStepEndsTheCheck) {
    script_.Queue(0x1A, Returns(ModePage(0x00)));
    for (int i = 0; i < 4; ++i) script_.Queue(0x15, Fails(0x05, 0x26));  // invalid field
    EXPECT_EQ(ReadMediaInfo(context_), ERR_DEVICE);
    for (const auto& packet : script_.packets) EXPECT_NE(packet[0], 0x06);
    EXPECT_EQ(script_.resets, 4);
    EXPECT_EQ(context_.mediumPresent, 0u);
}

class AtaMediaStatus : public DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        context_.deviceKind = DEVICE_KIND_ATA;
    }
    // GET MEDIA STATUS answers with these error bits (0: no error).
    void Answer(uint8_t error) {
        drive_.onCommand = [this, error](uint8_t command) {
            if (command != 0xDA) return;
            drive_.registers[1] = error;
            drive_.Status({static_cast<uint8_t>(error ? 0x51 : 0x50)});
        };
    }
};

TEST_F(AtaMediaStatus, TheErrorBitsDecideTheFlags) {
    struct Case {
        uint8_t error;
        DWORD flagsBefore;
        DWORD result;
        DWORD flagsAfter;
        DWORD present;
    };
    const Case table[] = {
        {0x00, 0, 0, MF_MEDIUM_KNOWN, 1},
        {0x02, MF_MEDIUM_KNOWN, ERR_DEVICE, 0, 0},
        {0x20, MF_MEDIUM_KNOWN, ERR_DEVICE, 0, 0},
        {0x40, MF_MEDIUM_KNOWN, ERR_DEVICE, MF_MEDIUM_KNOWN, 7},  // write protect alone: as was
        {0x04, 0, ERR_ABORTED, 0, 7},
    };
    for (const Case& c : table) {
        context_.mediaFlags = c.flagsBefore;
        context_.mediumPresent = 7;  // changes only when the flags change
        Answer(c.error);
        ClearTrace();
        EXPECT_EQ(ReadAtaMediaStatus(context_), c.result) << int(c.error);
        EXPECT_EQ(context_.mediaFlags, c.flagsAfter) << int(c.error);
        EXPECT_EQ(context_.mediumPresent, c.present) << int(c.error);
        const bool acknowledged = drive_.Commands().back() == "W7=DB";
        EXPECT_EQ(acknowledged, c.error == 0x20) << int(c.error);
    }
}

TEST_F(AtaMediaStatus, TheCommandFollowsAShortIdleWait) {
    Answer(0);
    drive_.Status({0x49});  // ERR on the idle device is ignored
    EXPECT_EQ(ReadAtaMediaStatus(context_), 0u);
    EXPECT_EQ(drive_.Commands(), (std::vector<std::string>{"W6=A0", "W7=DA"}));

    drive_.onCommand = nullptr;
    drive_.Status({0x80});
    const DWORD start = Now();
    EXPECT_EQ(ReadAtaMediaStatus(context_), ERR_PHASE);
    EXPECT_EQ(Now() - start, 30u);
}

// The card goes after each access in turn, seen as the window vanishing (the next access
// faults, inside a wait or not) or as the socket's state: the medium must be read again once a
// card answers, whichever step noticed.
TEST_F(AtaMediaStatus, APulledCardAtAnyStepForgetsTheCapacityButNotThePresence) {
    for (const bool windowGoes : {true, false}) {
        uint32_t step = 1;
        for (;; ++step) {
            context_.mediaFlags = MF_MEDIUM_KNOWN | MF_REMOVAL_PENDING;
            context_.mediumPresent = 1;
            SetSocketState(socket_, SOCKET_STATE_USABLE);
            if (window_ == nullptr) {
                window_ = platform::MapIoWindow(drive_, ScriptedDrive::kWindowSize);
            }
            context_.registerWindow = window_;
            Answer(0x20);
            uint32_t accesses = 0;
            drive_.afterAccess = [&](const std::string&) {
                if (++accesses != step) return;
                if (!windowGoes) return SetSocketState(socket_, 1);
                platform::UnmapIoWindow(window_);
                window_ = nullptr;
            };
            const DWORD result = ReadAtaMediaStatus(context_);
            if (result != 20u) break;  // the pull came after the last access
            EXPECT_EQ(context_.mediaFlags, MF_REMOVAL_PENDING) << windowGoes << " step " << step;
            EXPECT_EQ(context_.mediumPresent, 1u) << windowGoes << " step " << step;
        }
        EXPECT_GT(step, windowGoes ? 7u : 5u) << windowGoes;
    }
}

}  // namespace
}  // namespace atapi_test
