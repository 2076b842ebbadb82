// Medium faults: a failed block request reaches the caller as a CE error (19 stays and turns the
// volume read-only without touching the disk again, 20 and 21 are "not ready", other writes 29,
// other reads 30); a copy that fails at any request leaves the old file; damaged chains and
// entries give 1392 for what they touch while the rest reads.
#include "fat_fixture.h"

#include <fs/fat/fat_bytes.h>
#include <fs/fat/volume_layout.h>

#include <cstring>

namespace fat_tests {
namespace {

using testing_support::DiskFault;
using testing_support::FaultSpan;
using testing_support::RequestKind;

TEST_F(FatVolumeTest, BlockFailuresBecomeCeErrors) {
    struct Case {
        const char* label;
        RequestKind kind;
        DWORD deviceError;
        DWORD expected;
    };
    const Case cases[] = {
        {"write protected", RequestKind::Write, ERROR_WRITE_PROTECT, ERROR_WRITE_PROTECT},
        {"no device", RequestKind::Write, ERROR_BAD_UNIT, ERROR_NOT_READY},
        {"not ready", RequestKind::Write, ERROR_NOT_READY, ERROR_NOT_READY},
        {"other write failure", RequestKind::Write, ERROR_GEN_FAILURE, ERROR_WRITE_FAULT},
        {"other read failure", RequestKind::Read, ERROR_CRC, ERROR_READ_FAULT},
    };
    for (const auto& c : cases) {
        Format(kSmallFat16, kSmallFat16Kib);
        ASSERT_EQ(WriteWhole(u"\\Storage\\DATA.BIN", Pattern(9000, 6)), 0u);
        disk_->InjectFault(DiskFault{c.kind, 1, c.deviceError, FaultSpan::ThatRequest});
        DWORD error = 0;
        if (c.kind == RequestKind::Write) {
            error = WriteWhole(u"\\Storage\\NEW.BIN", "new");
        } else {
            error = ReadWhole(u"\\Storage\\DATA.BIN") ? 0 : GetLastError();
        }
        EXPECT_EQ(error, c.expected) << c.label;
        if (c.deviceError == ERROR_WRITE_PROTECT) {
            // The volume now refuses changes itself; reading still works.
            const uint64_t writes = disk_->Requests(RequestKind::Write);
            SetLastError(kSentinel);
            EXPECT_FALSE(CreateDirectory(u"\\Storage\\SUB", nullptr));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
            EXPECT_EQ(disk_->Requests(RequestKind::Write), writes);
        } else {
            // The fault passed: the volume goes on working and stays sound.
            EXPECT_EQ(WriteWhole(u"\\Storage\\AFTER.BIN", "after"), 0u) << c.label;
            EXPECT_TRUE(FsckPasses()) << c.label;
        }
        EXPECT_EQ(ReadWhole(u"\\Storage\\DATA.BIN"), Pattern(9000, 6)) << c.label;
        TearDown();
    }
}

TEST_F(FatVolumeTest, VanishedCardIsNotReady) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_EQ(WriteWhole(u"\\Storage\\DATA.BIN", "data"), 0u);
    disk_->Vanish(ERROR_BAD_UNIT);
    EXPECT_EQ(WriteWhole(u"\\Storage\\NEW.BIN", "new"), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_FALSE(ReadWhole(u"\\Storage\\DATA.BIN"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    disk_->Vanish(0);
    EXPECT_EQ(ReadWhole(u"\\Storage\\DATA.BIN"), "data");
    platform::ResetDevices();  // the card driver took the device away
    SetLastError(kSentinel);
    EXPECT_FALSE(ReadWhole(u"\\Storage\\DATA.BIN"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
}

// A replacing copy whose nth write fails, for every n up to the first copy that succeeds. A
// failure after the switch to the new contents can only leave the old clusters unfreed, and the
// next change frees them on the medium.
TEST_F(FatVolumeTest, CopyFailingAtAnyWriteKeepsTheOldFile) {
    Format(kSmallFat16, kSmallFat16Kib);
    const std::string old = Pattern(20000, 7), fresh = Pattern(90000, 8);
    ASSERT_EQ(WriteWhole(u"\\Storage\\Other file.txt", "other"), 0u);
    ASSERT_EQ(WriteWhole(u"\\Storage\\Target file.bin", old), 0u);
    ASSERT_EQ(WriteWhole(u"\\Fresh.bin", fresh), 0u);
    for (uint64_t n = 1;; ++n) {
        disk_->ClearFaults();
        disk_->InjectFault(DiskFault{RequestKind::Write, n, ERROR_GEN_FAILURE, FaultSpan::ThatRequest});
        const bool copied = CopyFile(u"\\Fresh.bin", u"\\Storage\\Target file.bin", FALSE) != FALSE;
        const auto target = ReadWhole(u"\\Storage\\Target file.bin");
        EXPECT_TRUE(target == old || target == fresh) << "write " << n;
        EXPECT_EQ(ReadWhole(u"\\Storage\\Other file.txt"), "other") << "write " << n;
        ASSERT_EQ(WriteWhole(u"\\Storage\\Next change.txt", std::to_string(n)), 0u);
        EXPECT_TRUE(FsckPasses()) << "write " << n;
        if (copied) {
            EXPECT_EQ(target, fresh);
            break;
        }
        ASSERT_LT(n, 50u);
        ASSERT_EQ(WriteWhole(u"\\Storage\\Target file.bin", old), 0u);
    }
}

// Reads the layout and the root folder straight from the image, to plant damage.
struct RawVolume {
    std::vector<uint8_t> bytes;
    platform::fat::VolumeLayout layout;

    explicit RawVolume(std::vector<uint8_t> image) : bytes(std::move(image)) {
        std::string reason;
        EXPECT_EQ(platform::fat::ParseBootSector(bytes.data(), 0, bytes.size() / 512, 512, layout, reason), 0u);
    }
    uint8_t* RootEntry(const char* shortName) {
        uint8_t* root = &bytes[layout.rootStart * 512];
        for (uint32_t i = 0; i < layout.rootEntries; ++i) {
            if (std::memcmp(root + i * 32, shortName, 11) == 0) return root + i * 32;
        }
        ADD_FAILURE() << shortName;
        return root;
    }
    uint32_t FirstCluster(const char* shortName) { return platform::fat::Load16(RootEntry(shortName) + 26); }
    void SetNext(uint32_t cluster, uint32_t next) {  // FAT16, both copies
        for (uint32_t copy = 0; copy < layout.fatCount; ++copy) {
            platform::fat::Store16(&bytes[(layout.fatStart + copy * layout.sectorsPerFat) * 512 + cluster * 2], next);
        }
    }
};

TEST_F(FatVolumeTest, DamagedEntriesGiveCorruptWhileTheRestReads) {
    Format(kSmallFat16, kSmallFat16Kib);
    const std::string three = Pattern(1500, 9);  // three clusters of 512 bytes
    for (const char16_t* name : {u"LOOP.BIN", u"OUT.BIN", u"CROSSA.BIN", u"CROSSB.BIN", u"FAR.BIN", u"GOOD.BIN"}) {
        ASSERT_EQ(WriteWhole(std::u16string(u"\\Storage\\") + name, three), 0u);
    }
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\SUB", nullptr));
    ASSERT_EQ(platform::UnmountFatVolume(u"Storage"), 0u);
    platform::ResetDevices();

    RawVolume raw(LoadBytes(image_));
    const uint32_t loop = raw.FirstCluster("LOOP    BIN");
    raw.SetNext(loop + 2, loop);                                   // a chain that loops
    raw.SetNext(raw.FirstCluster("OUT     BIN") + 1, 0xFFF0);      // leaves the FAT
    raw.SetNext(raw.FirstCluster("CROSSA  BIN"), raw.FirstCluster("CROSSB  BIN") + 1);  // joins another
    platform::fat::Store16(raw.RootEntry("FAR     BIN") + 26, 0xFFEE);  // outside the disk
    const uint32_t sub = raw.FirstCluster("SUB        ");
    raw.SetNext(sub, sub);                                         // a folder that loops
    SaveBytes(image_, raw.bytes);
    MountImage();

    EXPECT_EQ(List(u"\\Storage").size(), 7u);
    for (const char16_t* name : {u"LOOP.BIN", u"OUT.BIN", u"CROSSA.BIN", u"CROSSB.BIN", u"FAR.BIN"}) {
        SetLastError(kSentinel);
        EXPECT_FALSE(ReadWhole(std::u16string(u"\\Storage\\") + name)) << platform::ToUtf8(name);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT)) << platform::ToUtf8(name);
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFile(u"\\Storage\\LOOP.BIN"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    WIN32_FIND_DATA data;
    EXPECT_EQ(FindFirstFile(u"\\Storage\\SUB\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_EQ(ReadWhole(u"\\Storage\\GOOD.BIN"), three);
    EXPECT_EQ(WriteWhole(u"\\Storage\\NEW.BIN", three), 0u);
    EXPECT_EQ(ReadWhole(u"\\Storage\\NEW.BIN"), three);
}

}  // namespace
}  // namespace fat_tests
