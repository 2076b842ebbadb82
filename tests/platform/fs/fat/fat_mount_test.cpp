// Mounting: the layouts mkfs.fat makes (FAT12/16/32, large sectors, behind an MBR) mount and
// take files; boot sectors that make no sense refuse the mount; the mounted folder and what
// unmounting does to handles still open.
#include "fat_fixture.h"

#include <fs/fat/fat_volume.h>
#include <fs/fat/fat_bytes.h>

#include <cstring>
#include <random>

namespace fat_tests {
namespace {

using platform::fat::FatType;

struct LayoutCase {
    const char* label;
    const char* options;
    uint32_t kib;
    DWORD sectorBytes;
    FatType type;
    bool behindMbr;
};

// Puts the image behind an MBR whose first partition (type 6) starts at sector 2048.
std::vector<uint8_t> WithMbr(const std::vector<uint8_t>& volume) {
    constexpr uint32_t kStart = 2048;
    std::vector<uint8_t> disk(kStart * 512, 0);
    uint8_t* entry = disk.data() + platform::fat::MBR_Table;
    entry[platform::fat::PTE_System] = 0x06;
    platform::fat::Store32(entry + platform::fat::PTE_StartLba, kStart);
    platform::fat::Store32(entry + platform::fat::PTE_SizeLba, static_cast<uint32_t>(volume.size() / 512));
    disk[510] = 0x55;
    disk[511] = 0xAA;
    disk.insert(disk.end(), volume.begin(), volume.end());
    return disk;
}

class FatLayouts : public FatVolumeTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(FatLayouts, MountsTakesFilesAndStaysSound) {
    const LayoutCase& c = GetParam();
    ASSERT_TRUE(MakeImage(image_, c.options, c.kib));
    if (c.behindMbr) SaveBytes(image_, WithMbr(LoadBytes(image_)));
    disk_ = MemoryDiskDevice::OverImage(image_, c.sectorBytes);
    ASSERT_NE(MemoryDiskDevice::Register(1, disk_), nullptr);
    {
        HANDLE device = CreateFile(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        std::shared_ptr<platform::fat::FatVolume> volume;
        ASSERT_EQ(platform::fat::FatVolume::Open(device, volume), 0u);
        EXPECT_EQ(volume->Layout().type, c.type);
    }
    ASSERT_EQ(platform::MountFatVolume(u"Storage", u"DSK1:"), 0u);

    const std::string letter = Pattern(70000, 1);
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\Docs", nullptr));
    ASSERT_EQ(WriteWhole(u"\\Storage\\Docs\\Letter to Mom.txt", letter), 0u);
    ASSERT_EQ(WriteWhole(u"\\Storage\\EMPTY.TXT", ""), 0u);
    EXPECT_EQ(ReadWhole(u"\\Storage\\docs\\LETTER TO MOM.TXT"), letter);

    MountSnapshot();
    EXPECT_EQ(Tree(u"\\Copy"), Tree(u"\\Storage"));
    std::vector<uint8_t> bytes = disk_->Bytes();
    if (c.behindMbr) bytes.erase(bytes.begin(), bytes.begin() + 2048 * 512);
    EXPECT_TRUE(FsckPasses(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FatLayouts,
    ::testing::Values(LayoutCase{"fat12_floppy", "-F 12", 1440, 512, FatType::Fat12, false},
                      LayoutCase{"fat16_drive", "-F 16", 40960, 512, FatType::Fat16, false},
                      LayoutCase{"fat32", "-F 32", 65536, 512, FatType::Fat32, false},
                      LayoutCase{"fat16_4k_sectors", "-F 16 -S 4096 -s 1", 65536, 4096, FatType::Fat16, false},
                      LayoutCase{"fat16_mbr", "-F 16", 20480, 512, FatType::Fat16, true}),
    [](const auto& info) { return std::string(info.param.label); });

struct Hostile {
    const char* label;
    void (*damage)(uint8_t* bootSector);
};

TEST_F(FatVolumeTest, BootSectorsThatMakeNoSenseRefuseTheMount) {
    namespace f = platform::fat;
    const Hostile cases[] = {
        {"zero sector size", [](uint8_t* s) { f::Store16(s + f::BPB_BytsPerSec, 0); }},
        {"sector size not a power of two", [](uint8_t* s) { f::Store16(s + f::BPB_BytsPerSec, 768); }},
        {"sector size unlike the disk's", [](uint8_t* s) { f::Store16(s + f::BPB_BytsPerSec, 1024); }},
        {"zero sectors per cluster", [](uint8_t* s) { s[f::BPB_SecPerClus] = 0; }},
        {"three sectors per cluster", [](uint8_t* s) { s[f::BPB_SecPerClus] = 3; }},
        {"no reserved sector", [](uint8_t* s) { f::Store16(s + f::BPB_RsvdSecCnt, 0); }},
        {"no FAT", [](uint8_t* s) { s[f::BPB_NumFATs] = 0; }},
        {"FAT of zero sectors", [](uint8_t* s) { f::Store16(s + f::BPB_FATSz16, 0); }},
        {"FAT beyond the disk", [](uint8_t* s) { f::Store16(s + f::BPB_FATSz16, 0xFFFF); }},
        {"volume beyond the disk",
         [](uint8_t* s) { f::Store16(s + f::BPB_TotSec16, 0), f::Store32(s + f::BPB_TotSec32, 0x7FFFFFFF); }},
        {"no root folder on FAT16", [](uint8_t* s) { f::Store16(s + f::BPB_RootEntCnt, 0); }},
        {"FAT too small for the clusters", [](uint8_t* s) { f::Store16(s + f::BPB_FATSz16, 8); }},
        {"cluster count of FAT12 in a FAT32 shape",
         [](uint8_t* s) { f::Store16(s + f::BPB_RootEntCnt, 0), f::Store16(s + f::BPB_FATSz16, 0),
                          f::Store32(s + f::BPB_FATSz32, 40); }},
        {"all zero", [](uint8_t* s) { std::memset(s, 0, 512); }},
    };
    ASSERT_TRUE(MakeImage(image_, kSmallFat16, kSmallFat16Kib));
    const std::vector<uint8_t> pristine = LoadBytes(image_);
    auto disk = std::make_shared<MemoryDiskDevice>(static_cast<DWORD>(pristine.size() / 512));
    ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
    for (const auto& c : cases) {
        std::vector<uint8_t> sector(pristine.begin(), pristine.begin() + 512);
        c.damage(sector.data());
        disk->Poke(0, pristine.data(), pristine.size());
        disk->Poke(0, sector.data(), sector.size());
        EXPECT_EQ(platform::MountFatVolume(u"Storage", u"DSK1:"), ERROR_UNRECOGNIZED_MEDIA) << c.label;
        EXPECT_EQ(GetFileAttributes(u"\\Storage"), INVALID_FILE_ATTRIBUTES) << c.label;
        (void)platform::UnmountFatVolume(u"Storage");
    }
}

TEST_F(FatVolumeTest, RandomBootSectorsNeverCrash) {
    ASSERT_TRUE(MakeImage(image_, "-F 12", 1440));
    const std::vector<uint8_t> pristine = LoadBytes(image_);
    auto disk = std::make_shared<MemoryDiskDevice>(static_cast<DWORD>(pristine.size() / 512));
    ASSERT_NE(MemoryDiskDevice::Register(1, disk), nullptr);
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = pristine;
        for (int n = 0; n < 4; ++n) bytes[11 + random() % 53] = static_cast<uint8_t>(random());
        disk->Poke(0, bytes.data(), bytes.size());
        if (platform::MountFatVolume(u"Storage", u"DSK1:") != 0) continue;
        (void)List(u"\\Storage");
        (void)WriteWhole(u"\\Storage\\PROBE.TXT", "probe");
        (void)ReadWhole(u"\\Storage\\PROBE.TXT");
        ASSERT_EQ(platform::UnmountFatVolume(u"Storage"), 0u);
    }
}

TEST_F(FatVolumeTest, MountedFolderListsAsCardFolderAndUnmountFailsOpenHandles) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_EQ(WriteWhole(u"\\Storage\\KEEP.TXT", "kept"), 0u);
    bool listed = false;
    for (const auto& entry : List(u"")) {
        if (std::u16string_view(entry.cFileName) == u"Storage") {
            listed = true;
            EXPECT_EQ(entry.dwFileAttributes, 0x110u);
        }
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(GetFileAttributes(u"\\Storage"), 0x110u);

    HANDLE file = CreateFile(u"\\Storage\\KEEP.TXT", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_EQ(platform::UnmountFatVolume(u"Storage"), 0u);
    char buffer[4];
    DWORD done = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    SetLastError(kSentinel);
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(GetFileAttributes(u"\\Storage"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform::UnmountFatVolume(u"Storage"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace fat_tests
