// Every fault switch of the disk, thrown at every block request of a copy: the volume still
// passes fsck.fat (clusters of the copy in flight may be lost, nothing else), every other file
// reads back as it was, and the destination holds either its old bytes or all the new ones.
#include "fat_image_fixture.h"
#include "pc_images.h"

namespace fat_interop {
namespace {

using testing_support::DiskFault;
using testing_support::FaultSpan;
using testing_support::RequestKind;

struct FaultCase {
    const char* name;
    RequestKind kind;
    DWORD error;
    FaultSpan span;
};

const FaultCase kFaults[] = {
    {"one write fails", RequestKind::Write, 29, FaultSpan::ThatRequest},
    {"one read fails", RequestKind::Read, 30, FaultSpan::ThatRequest},
    {"write-protected from then on", RequestKind::Write, 19, FaultSpan::FromThenOn},
    {"card vanishes", RequestKind::Any, 20, FaultSpan::FromThenOn},
};

struct CopyCase {
    const char* name;
    const char* destination;
    bool replaces;
};

const char* const kKept[] = {"keep one.bin", "Folder/keep two.txt", "source.bin"};

class CopyFaults : public FatImageTest, public ::testing::WithParamInterface<ImageKind> {
protected:
    void SetUp() override {
        FatImageTest::SetUp();
        pristine_ = Image("pristine.img");
        work_ = Image("work.img");
    }

    // The starting volume: a few files and an old destination, written here.
    void MakePristine() {
        MakeImage(GetParam(), pristine_);
        ASSERT_EQ(Mount(pristine_), 0u);
        ASSERT_TRUE(CreateDirectory(CePath("Folder").c_str(), nullptr));
        for (const auto& [name, size] : {std::pair{"keep one.bin", 5000}, {"Folder/keep two.txt", 30000},
                                         {"source.bin", 21000}, {"old destination.bin", 9000}}) {
            contents_[name] = Contents(name, size);
            ASSERT_EQ(WriteCeFile(CePath(name), contents_[name]), 0u);
        }
        Unmount();
    }

    // Mounts a fresh copy of the pristine volume and returns the requests one kind made so far.
    void MountWorkCopy() {
        std::filesystem::copy_file(pristine_, work_, std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(Mount(work_), 0u);
    }

    BOOL CopyTo(const CopyCase& c) {
        return CopyFile(CePath("source.bin").c_str(), CePath(c.destination).c_str(), FALSE);
    }

    // Block requests of that kind the copy makes when nothing fails.
    uint64_t CleanSteps(const CopyCase& c, RequestKind kind) {
        MountWorkCopy();
        const uint64_t before = disk_->Requests(kind);
        EXPECT_TRUE(CopyTo(c));
        const uint64_t steps = disk_->Requests(kind) - before;
        Unmount();
        return steps;
    }

    void ExpectSound(const CopyCase& c, BOOL copied) {
        EXPECT_TRUE(FsckAccepts(work_, true));
        ASSERT_EQ(Mount(work_), 0u);
        for (const char* name : kKept) EXPECT_EQ(ReadCeFile(CePath(name)), contents_[name]) << name;
        const auto destination = ReadCeFile(CePath(c.destination));
        if (copied) {
            EXPECT_EQ(destination, contents_["source.bin"]);
        } else if (c.replaces) {
            EXPECT_TRUE(destination == contents_["source.bin"] || destination == contents_[c.destination]);
        } else {
            EXPECT_TRUE(!destination || destination == contents_["source.bin"]);
        }
        for (const auto& [name, entry] : ListVolume())
            EXPECT_TRUE(name == "Folder" || name == c.destination || contents_.count(name)) << "left behind: " << name;
        Unmount();
    }

    std::filesystem::path pristine_, work_;
    std::map<std::string, std::vector<uint8_t>> contents_;
};

TEST_P(CopyFaults, EveryFaultAtEveryStepLeavesASoundVolume) {
    SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat");
    MakePristine();
    const CopyCase copies[] = {{"over an old file", "old destination.bin", true},
                               {"to a new name", "new copy.bin", false}};
    for (const CopyCase& c : copies) {
        for (const FaultCase& f : kFaults) {
            const uint64_t steps = CleanSteps(c, f.kind);
            ASSERT_GT(steps, 0u);
            for (uint64_t nth = 1; nth <= steps; ++nth) {
                SCOPED_TRACE(std::string(c.name) + ", " + f.name + " at request " + std::to_string(nth));
                MountWorkCopy();
                disk_->InjectFault(DiskFault{f.kind, nth, f.error, f.span});
                const BOOL copied = CopyTo(c);
                disk_->ClearFaults();
                Unmount();
                ExpectSound(c, copied);
                if (HasFatalFailure()) return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, CopyFaults, ::testing::Values(kFloppy12, ImageKind{"FAT16", 16384, "", 0}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
}  // namespace fat_interop
