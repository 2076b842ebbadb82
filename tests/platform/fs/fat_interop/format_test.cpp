// The format utility: the layout it picks is the one mkfs.fat picks for a disk of that size, the
// volume it writes passes fsck.fat, takes files from mtools and mounts here, and a disk that
// cannot take a volume is refused with an error.
#include <platform/devices.h>
#include <platform/fat_volume.h>
#include <winerror.h>

#include <gtest/gtest.h>

#include "../../../../platform/fs/format/fat_format.h"
#include "fat_image_fixture.h"
#include "pc_tools.h"
#include "support/memory_disk_device.h"
#include "support/temp_folder.h"

namespace {

using platform::fat_format::ChooseFatLayout;
using platform::fat_format::DiskShape;
using platform::fat_format::FatLayout;
using platform::fat_format::FatType;
using platform::fat_format::FatTypeChoice;
using testing_support::MemoryDiskDevice;

uint32_t ld16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t ld32(const std::vector<uint8_t>& b, size_t at) { return ld16(b, at) | (ld16(b, at + 2) << 16); }

// The fields of a boot sector that the layout decides, read the way a FAT driver reads them.
FatLayout LayoutOfBootSector(const std::vector<uint8_t>& b) {
    FatLayout l;
    l.bytesPerSector = ld16(b, 11);
    l.sectorsPerCluster = b[13];
    l.reservedSectors = ld16(b, 14);
    l.fatCount = b[16];
    l.rootEntries = ld16(b, 17);
    l.totalSectors = ld16(b, 19) != 0 ? ld16(b, 19) : ld32(b, 32);
    l.media = b[21];
    l.fatSectors = ld16(b, 22) != 0 ? ld16(b, 22) : ld32(b, 36);
    l.sectorsPerTrack = static_cast<uint16_t>(ld16(b, 24));
    l.heads = static_cast<uint16_t>(ld16(b, 26));
    const bool fat32 = ld16(b, 22) == 0;
    l.driveNumber = b[fat32 ? 64 : 36];
    const std::string type(reinterpret_cast<const char*>(&b[fat32 ? 82 : 54]), 5);
    l.type = type == "FAT32" ? FatType::Fat32 : type == "FAT16" ? FatType::Fat16 : FatType::Fat12;
    l.backupBootSector = fat32 ? ld16(b, 50) : 6;
    return l;
}

void ExpectSameLayout(const FatLayout& ours, const FatLayout& theirs) {
    EXPECT_EQ(static_cast<int>(ours.type), static_cast<int>(theirs.type));
    EXPECT_EQ(ours.bytesPerSector, theirs.bytesPerSector);
    EXPECT_EQ(ours.sectorsPerCluster, theirs.sectorsPerCluster);
    EXPECT_EQ(ours.reservedSectors, theirs.reservedSectors);
    EXPECT_EQ(ours.fatCount, theirs.fatCount);
    EXPECT_EQ(ours.rootEntries, theirs.rootEntries);
    EXPECT_EQ(ours.totalSectors, theirs.totalSectors);
    EXPECT_EQ(ours.media, theirs.media);
    EXPECT_EQ(ours.fatSectors, theirs.fatSectors);
    EXPECT_EQ(ours.sectorsPerTrack, theirs.sectorsPerTrack);
    EXPECT_EQ(ours.heads, theirs.heads);
    EXPECT_EQ(ours.driveNumber, theirs.driveNumber);
    EXPECT_EQ(ours.backupBootSector, theirs.backupBootSector);
}

struct SizeCase {
    uint64_t kib;
    uint32_t bytesPerSector;
    const char* mkfsOptions;
    FatTypeChoice choice;
};

class FatFormat : public ::testing::Test {
protected:
    void TearDown() override {
        platform::ResetDevices();
        platform::ResetFileSystem();
    }

    testing_support::TempFolder temp_;
};

TEST_F(FatFormat, ChoosesTheLayoutMkfsFatChoosesForEachSize) {
    SKIP_WITHOUT_TOOLS("mkfs.fat");
    const SizeCase cases[] = {
        {360, 512, "", FatTypeChoice::BySize},       {1440, 512, "", FatTypeChoice::BySize},
        {2880, 512, "", FatTypeChoice::BySize},      {4000, 512, "", FatTypeChoice::BySize},
        {4096, 512, "", FatTypeChoice::BySize},      {16384, 512, "", FatTypeChoice::BySize},
        {40960, 512, "", FatTypeChoice::BySize},     {65536, 512, "", FatTypeChoice::BySize},
        {300000, 512, "", FatTypeChoice::BySize},    {600000, 512, "", FatTypeChoice::BySize},
        {3000000, 512, "", FatTypeChoice::BySize},   {40960, 2048, "-S 2048", FatTypeChoice::BySize},
        {40960, 4096, "-S 4096", FatTypeChoice::BySize}, {65536, 512, "-F 32", FatTypeChoice::Fat32},
        {40960, 512, "-F 32", FatTypeChoice::Fat32}, {40960, 512, "-F 12", FatTypeChoice::Fat12},
    };
    const auto image = temp_.Path() / "mkfs.img";
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.kib) + " KiB " + c.mkfsOptions);
        fat_interop::MakeSparseImage(image, c.kib * 1024);
        const auto made = fat_interop::RunTool(std::string("mkfs.fat ") + c.mkfsOptions + " " +
                                               fat_interop::Quoted(image.string()));
        ASSERT_EQ(made.exitCode, 0) << made.output;
        const auto boot = fat_interop::ReadHostFile(image, 512);
        const DiskShape disk{static_cast<uint32_t>(c.kib * 1024 / c.bytesPerSector), c.bytesPerSector};
        const auto ours = ChooseFatLayout(disk, c.choice);
        ASSERT_TRUE(ours.has_value());
        ExpectSameLayout(*ours, LayoutOfBootSector(boot));
    }
}

TEST_F(FatFormat, RefusesDisksNoVolumeFits) {
    EXPECT_FALSE(ChooseFatLayout({0, 512}));
    EXPECT_FALSE(ChooseFatLayout({64, 512}));          // too small for tables and data
    EXPECT_FALSE(ChooseFatLayout({81920, 768}));       // not a power of two
    EXPECT_FALSE(ChooseFatLayout({81920, 8192}));      // beyond 4096
    EXPECT_FALSE(ChooseFatLayout({16384, 512}, FatTypeChoice::Fat16));  // too few clusters for FAT16
    EXPECT_TRUE(ChooseFatLayout({0xFFFFFFFFu, 512}));  // the largest disk a DiskInfo describes
}

struct VolumeCase {
    const char* name;
    uint32_t sectors;
    uint32_t bytesPerSector;
    FatTypeChoice choice;
    bool onImageFile;
    const char* fsType;
};

// The volume fsck.fat accepts, labelled, and the files mcopy puts on it come back.
TEST_F(FatFormat, WritesVolumesThatFsckAcceptsAndMtoolsFills) {
    SKIP_WITHOUT_TOOLS("fsck.fat", "mcopy", "mlabel", "minfo");
    const VolumeCase cases[] = {
        {"floppy", 2880, 512, FatTypeChoice::BySize, false, "FAT12"},
        {"drive medium", 81920, 512, FatTypeChoice::BySize, false, "FAT16"},
        {"FAT32 by choice", 131072, 512, FatTypeChoice::Fat32, false, "FAT32"},
        {"FAT32 by size", 1228800, 512, FatTypeChoice::BySize, true, "FAT32"},
        {"4 KiB sectors", 10240, 4096, FatTypeChoice::BySize, false, "FAT12"},
    };
    const auto image = temp_.Path() / "volume.img";
    const auto payload = temp_.Path() / "payload.bin";
    std::vector<uint8_t> bytes(100000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    fat_interop::WriteHostFile(payload, bytes);
    for (const VolumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<MemoryDiskDevice> disk;
        if (c.onImageFile) {
            fat_interop::MakeSparseImage(image, uint64_t{c.sectors} * c.bytesPerSector);
            disk = MemoryDiskDevice::OverImage(image, c.bytesPerSector);
        } else {
            disk = std::make_shared<MemoryDiskDevice>(c.sectors, c.bytesPerSector);
        }
        ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
        ASSERT_EQ(platform::fat_format::FormatDisk(u"DSK1:", u"Tandel 1", c.choice), 0u);
        platform::ResetDevices();
        if (!c.onImageFile) fat_interop::WriteHostFile(image, disk->Bytes());
        const std::string img = fat_interop::Quoted(image.string());

        const auto fresh = fat_interop::CheckVolume(image);
        EXPECT_EQ(fresh.exitCode, 0) << fresh.output;
        EXPECT_NE(fat_interop::RunTool("minfo -i " + img + " ::").output.find(c.fsType), std::string::npos);
        EXPECT_NE(fat_interop::RunTool("mlabel -s -i " + img + " ::").output.find("TANDEL 1"), std::string::npos);

        const auto copied = fat_interop::RunTool("mcopy -i " + img + " " +
                                                 fat_interop::Quoted(payload.string()) + " '::A long file name.bin'");
        ASSERT_EQ(copied.exitCode, 0) << copied.output;
        const auto filled = fat_interop::CheckVolume(image);
        EXPECT_EQ(filled.exitCode, 0) << filled.output;
        const auto back = temp_.Path() / "back.bin";
        std::filesystem::remove(back);
        ASSERT_EQ(fat_interop::RunTool("mcopy -i " + img + " '::A long file name.bin' " +
                                       fat_interop::Quoted(back.string())).exitCode, 0);
        EXPECT_EQ(fat_interop::ReadHostFile(back), bytes);

        // and the platform mounts it and reads what mcopy put there
        ASSERT_NE(MemoryDiskDevice::Register(1, MemoryDiskDevice::OverImage(image, c.bytesPerSector)), nullptr);
        ASSERT_EQ(platform::MountFatVolume(u"Card", u"DSK1:"), 0u);
        EXPECT_EQ(fat_interop::ReadCeFile(u"\\Card\\A long file name.bin"), bytes);
        platform::UnmountFatVolume(u"Card");
        platform::ResetDevices();
    }
}

TEST_F(FatFormat, RefusesWithAnErrorAndLeavesTheDiskAsItWas) {
    struct Case {
        const char* name;
        uint32_t sectors;
        const char16_t* label;
        void (*arrange)(MemoryDiskDevice&);
        DWORD error;
    };
    const Case cases[] = {
        {"label with a star", 8192, u"A*B", [](MemoryDiskDevice&) {}, ERROR_INVALID_NAME},
        {"label of twelve", 8192, u"TWELVE_CHARS", [](MemoryDiskDevice&) {}, ERROR_INVALID_NAME},
        {"label beyond ASCII", 8192, u"\u00c4PFEL", [](MemoryDiskDevice&) {}, ERROR_INVALID_NAME},
        {"disk too small", 40, u"", [](MemoryDiskDevice&) {}, ERROR_INVALID_PARAMETER},
        {"write-protected", 8192, u"", [](MemoryDiskDevice& d) { d.SetWriteProtected(true); },
         ERROR_WRITE_PROTECT},
        {"card gone", 8192, u"", [](MemoryDiskDevice& d) { d.Vanish(20); }, ERROR_NOT_READY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto disk = std::make_shared<MemoryDiskDevice>(c.sectors);
        std::vector<uint8_t> old(disk->Bytes().size(), 0x5A);
        disk->Poke(0, old.data(), old.size());
        c.arrange(*disk);
        ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
        EXPECT_EQ(platform::FormatFatVolume(u"DSK1:", c.label), c.error);
        platform::ResetDevices();
        disk->Vanish(0);
        EXPECT_EQ(disk->Bytes(), old);
    }
    EXPECT_NE(platform::FormatFatVolume(u"DSK7:", u""), 0u);  // no such device
}

// A mounted volume would write its tables from memory over the fresh ones: refused, the disk
// untouched, until the volume is unmounted.
TEST_F(FatFormat, RefusesADiskWhoseVolumeIsMounted) {
    auto disk = std::make_shared<MemoryDiskDevice>(8192);
    ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
    ASSERT_EQ(platform::FormatFatVolume(u"DSK1:", u"OLD"), 0u);
    ASSERT_EQ(platform::MountFatVolume(u"Card", u"DSK1:"), 0u);
    const auto before = disk->Bytes();
    EXPECT_EQ(platform::FormatFatVolume(u"dsk1:", u"NEW"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(disk->Bytes(), before);
    ASSERT_EQ(platform::UnmountFatVolume(u"Card"), 0u);
    EXPECT_EQ(platform::FormatFatVolume(u"DSK1:", u"NEW"), 0u);
}

// A write that fails midway reports 29 and leaves either the old volume untouched or no boot
// sector that claims a volume over half-written tables.
TEST_F(FatFormat, AFailedWriteLeavesNoVolumeBehind) {
    for (uint64_t nth = 1; nth <= 12; ++nth) {
        SCOPED_TRACE(nth);
        auto disk = std::make_shared<MemoryDiskDevice>(20480);
        ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
        ASSERT_EQ(platform::FormatFatVolume(u"DSK1:", u"OLD"), 0u);
        const auto before = disk->Bytes();
        disk->InjectFault({testing_support::RequestKind::Write, nth, ERROR_CRC});
        const DWORD error = platform::FormatFatVolume(u"DSK1:", u"NEW");
        platform::ResetDevices();
        const auto bytes = disk->Bytes();
        if (error == 0) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[43]), 3), "NEW");
            continue;
        }
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_WRITE_FAULT));
        if (bytes != before) {
            EXPECT_NE(ld16(bytes, 510), 0xAA55u);
        }
    }
}

}  // namespace
