// The medium: bytes through READ(10)/WRITE(10) against the image file, write protection,
// removal and insertion of media of other sizes, and images the drive cannot use.
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "drive_host.h"

namespace sim_test {
namespace {

using sim::Sense;

constexpr uint8_t kDone = ata::kDrdy | ata::kDsc;
constexpr uint8_t kFailed = ata::kDrdy | ata::kErr;

std::vector<uint8_t> Pattern(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 9));
    return bytes;
}

class Medium : public ::testing::Test {
protected:
    void Insert(const TempImage& image, sim::MediumOptions options = {}) {
        ASSERT_TRUE(drive_.InsertMedium(image.path(), options));
        host_.ClearUnitAttentions();
    }
    TempImage image_{2048};
    sim::EmulatedDrive drive_;
    DriveHost host_{drive_};
};

TEST_F(Medium, BytesWrittenLandInTheImageFileAndReadBack) {
    Insert(image_);
    // Blocks rewritten a few times go through the image's mapping where the host allows it:
    // every pass must land in the file alike.
    uint8_t seed = 3;
    for (Path path :
         {Path::Wide, Path::Narrow, Path::Wide, Path::Narrow, Path::Wide, Path::Narrow}) {
        const std::vector<uint8_t> bytes = Pattern(16 * 512, seed++);
        const Outcome written = host_.Run(Write10(100, 16), 16 * 512, path, bytes);
        EXPECT_EQ(written.status, kDone);
        EXPECT_EQ(image_.ReadBytes(100 * 512, bytes.size()), bytes);
        const Outcome read = host_.Run(Read10(100, 16), 4000, path);
        EXPECT_EQ(read.status, kDone);
        EXPECT_EQ(read.data, bytes);
    }
    // A change made to the file by another program is what the drive reads next.
    const std::vector<uint8_t> outside = Pattern(512, 99);
    {
        std::fstream file(image_.path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(104 * 512);
        file.write(reinterpret_cast<const char*>(outside.data()), 512);
    }
    EXPECT_EQ(host_.Run(Read10(104, 1), 512).data, outside);
    // Neighbouring blocks are untouched.
    EXPECT_EQ(image_.ReadBytes(99 * 512, 512), std::vector<uint8_t>(512, 0));
    EXPECT_EQ(image_.ReadBytes(116 * 512, 512), std::vector<uint8_t>(512, 0));
}

// Pages rewritten often are reached through a mapping of the file; another program cutting the
// file short under it must cost neither the process nor the bytes written afterwards.
TEST_F(Medium, AnImageCutShortWhileInsertedReadsAndWritesAsTheFileNowIs) {
    Insert(image_);
    const std::vector<uint8_t> bytes = Pattern(8 * 512, 5);
    for (int pass = 0; pass < 6; ++pass) {
        ASSERT_EQ(host_.Run(Write10(200, 8), 8 * 512, Path::Wide, bytes).status, kDone);
    }
    std::filesystem::resize_file(image_.path(), 100 * 512);

    const Outcome read = host_.Run(Read10(200, 8), 8 * 512);
    EXPECT_EQ(read.status, kDone);
    EXPECT_EQ(read.data, std::vector<uint8_t>(8 * 512, 0));
    const std::vector<uint8_t> later = Pattern(8 * 512, 9);
    EXPECT_EQ(host_.Run(Write10(200, 8), 8 * 512, Path::Wide, later).status, kDone);
    EXPECT_EQ(image_.ReadBytes(200 * 512, later.size()), later);
}

TEST_F(Medium, BytesAlreadyInTheImageAreWhatReadDelivers) {
    const std::vector<uint8_t> bytes = Pattern(512, 77);
    {
        std::fstream file(image_.path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(2047 * 512);
        file.write(reinterpret_cast<const char*>(bytes.data()), 512);
    }
    Insert(image_);
    EXPECT_EQ(host_.Run(Read10(2047, 1), 512).data, bytes);
}

TEST_F(Medium, WriteProtectionFailsBeforeAnyDataPhase) {
    Insert(image_, {.writeProtected = true});
    const Outcome outcome = host_.Run(Write10(0, 1), 512, Path::Wide, Pattern(512, 1));
    EXPECT_TRUE(outcome.bursts.empty());
    EXPECT_EQ(outcome.status, kFailed);
    EXPECT_EQ(outcome.error, 7 << 4);
    EXPECT_EQ(host_.Sense(), (Sense{7, 0x27, 0}));
    EXPECT_EQ(host_.Run(Read10(0, 1), 512).status, kDone);  // reading is fine
    drive_.SetWriteProtected(false);
    EXPECT_EQ(host_.Run(Write10(0, 1), 512, Path::Wide, Pattern(512, 1)).status, kDone);
}

TEST_F(Medium, WriteProtectionAfterTheDataWhenSwitchedSoAndNothingLands) {
    Insert(image_, {.writeProtected = true});
    drive_.SetWriteProtectAfterData(true);
    const Outcome outcome = host_.Run(Write10(0, 2), 1024, Path::Wide, Pattern(1024, 1));
    EXPECT_EQ(outcome.bursts, (std::vector<uint16_t>{1024}));
    EXPECT_EQ(outcome.status, kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{7, 0x27, 0}));
    EXPECT_EQ(image_.ReadBytes(0, 1024), std::vector<uint8_t>(1024, 0));
}

TEST_F(Medium, AMediumOfAnotherSizeChangesTheCapacity) {
    Insert(image_);
    TempImage bigger(3000, "bigger.img");
    ASSERT_TRUE(drive_.InsertMedium(bigger.path()));
    EXPECT_EQ(drive_.MediumBlocks(), 3000u);
    host_.ClearUnitAttentions();
    const Outcome status = host_.Run(VendorStatus(), 64);
    EXPECT_EQ(status.data[7] << 8 | status.data[8], 3000);
    EXPECT_EQ(host_.Run(Read10(2999, 1), 512).status, kDone);
    EXPECT_EQ(host_.Run(Read10(3000, 1), 512).status, kFailed);
}

TEST_F(Medium, AnImageThatCannotBeUsedIsRefusedAndLeavesTheDriveEmpty) {
    Insert(image_);
    const auto folder = image_.path().parent_path();
    {
        std::ofstream tiny(folder / "tiny.img", std::ios::binary);
        tiny << "short";
    }
    EXPECT_FALSE(drive_.InsertMedium(folder / "tiny.img"));
    EXPECT_FALSE(drive_.HasMedium());
    EXPECT_FALSE(drive_.InsertMedium(folder / "missing.img"));
    EXPECT_FALSE(drive_.InsertMedium(folder));  // a folder is no image
    host_.ClearUnitAttentions();
    host_.Run(TestUnitReady(), 0);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
}

TEST_F(Medium, ATailShorterThanABlockIsNotPartOfTheMedium) {
    std::filesystem::resize_file(image_.path(), 2048 * 512 + 100);
    Insert(image_);
    EXPECT_EQ(drive_.MediumBlocks(), 2048u);
}

TEST_F(Medium, TheDefaultBlankImageIsAboutFortyMegabytesAndSparse) {
    const auto path = image_.path().parent_path() / "default.img";
    ASSERT_TRUE(sim::CreateBlankImage(path));
    EXPECT_EQ(std::filesystem::file_size(path), uint64_t{sim::kDefaultMediumBlocks} * 512);
    EXPECT_GT(std::filesystem::file_size(path), 40'000'000u);
    EXPECT_LT(std::filesystem::file_size(path), 42'000'000u);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_LT(uint64_t(info.st_blocks) * 512, 1u << 20);
    EXPECT_FALSE(sim::CreateBlankImage(image_.path().parent_path() / "no" / "such.img"));
}

TEST_F(Medium, EjectDuringATransferEndsItWithNoMedium) {
    Insert(image_);
    host_.SendPacket(Read10(0, 4), 512);
    host_.WaitNotBusy();
    std::vector<uint8_t> data;
    host_.ReadBurst(512, Path::Wide, data);
    drive_.EjectMedium();
    EXPECT_EQ(host_.WaitNotBusy(), kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{2, 0x3A, 0}));
}

TEST_F(Medium, AWriteInterruptedByASwapNeverReachesTheNewMedium) {
    Insert(image_);
    TempImage other(2048, "other.img");
    host_.SendPacket(Write10(0, 2), 512);
    host_.WaitNotBusy();
    size_t sent = 0;
    const std::vector<uint8_t> bytes = Pattern(1024, 9);
    host_.WriteBurst(512, Path::Wide, bytes, sent);
    drive_.EjectMedium();
    ASSERT_TRUE(drive_.InsertMedium(other.path()));
    EXPECT_EQ(host_.WaitNotBusy(), kFailed);
    EXPECT_EQ(host_.Sense(), (Sense{6, 0x28, 0}));
    EXPECT_EQ(other.ReadBytes(0, 1024), std::vector<uint8_t>(1024, 0));
}

TEST_F(Medium, EjectAndInsertFromAnotherThreadWhileTheHostRunsCommands) {
    Insert(image_);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (int i = 0; i < 200; ++i) {
            drive_.EjectMedium();
            drive_.SetWriteProtected(i % 3 == 0);
            EXPECT_TRUE(drive_.InsertMedium(image_.path()));
        }
        stop = true;
    });
    const std::vector<uint8_t> bytes = Pattern(2048, 5);
    int completed = 0;
    while (!stop) {
        const Outcome outcome = host_.Run(completed % 2 ? Read10(8, 4) : Write10(8, 4), 2048,
                                          Path::Wide, bytes);
        if (outcome.status == kDone) ++completed;
        host_.Sense();
    }
    swapper.join();
    // One burst carries the whole write: it landed whole or not at all.
    const auto landed = image_.ReadBytes(8 * 512, 2048);
    EXPECT_TRUE(landed == bytes || landed == std::vector<uint8_t>(2048, 0));
}

}  // namespace
}  // namespace sim_test
