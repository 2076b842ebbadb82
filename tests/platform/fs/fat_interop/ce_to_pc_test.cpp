// Trees written here (with replaces, deletions, 8.3 collisions, a folder past one cluster, a
// full FAT16 root) are volumes fsck.fat accepts and from which mcopy extracts the same names
// and bytes.
#include "fat_image_fixture.h"
#include "pc_images.h"

namespace fat_interop {
namespace {

namespace fs = std::filesystem;

// What the volume should hold afterwards: relative path -> bytes; folders map to nothing.
using Model = std::map<std::string, std::optional<std::vector<uint8_t>>>;

class CeToPc : public FatImageTest, public ::testing::WithParamInterface<ImageKind> {
protected:
    void Folder(const std::string& path) {
        ASSERT_TRUE(CreateDirectory(CePath(path).c_str(), nullptr)) << path << ": " << GetLastError();
        model_[path] = std::nullopt;
    }
    void File(const std::string& path, size_t size, uint32_t salt = 0) {
        auto bytes = Contents(path + std::to_string(salt), size);
        ASSERT_EQ(WriteCeFile(CePath(path), bytes), 0u) << path;
        model_[path] = std::move(bytes);
    }
    void Delete(const std::string& path) {
        ASSERT_TRUE(DeleteFile(CePath(path).c_str())) << path << ": " << GetLastError();
        model_.erase(path);
    }
    void Copy(const std::string& from, const std::string& to) {
        ASSERT_TRUE(CopyFile(CePath(from).c_str(), CePath(to).c_str(), FALSE)) << to << ": " << GetLastError();
        model_[to] = model_[from];
    }

    // Everything mcopy extracts from the volume, in the same shape as the model.
    Model Extract(const std::string& drive) {
        const fs::path out = temp_.Path() / "extracted";
        fs::create_directories(out);
        const ToolRun run = RunTool("mcopy -s -n -i " + drive + " '::*' " + Quoted(out.string()), 300);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        Model extracted;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            const std::string relative = fs::relative(entry.path(), out).generic_string();
            if (entry.is_directory()) extracted[relative] = std::nullopt;
            else extracted[relative] = ReadHostFile(entry.path());
        }
        return extracted;
    }

    Model model_;
};

TEST_P(CeToPc, WrittenTreesPassFsckAndExtractIdentically) {
    SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat", "mcopy");
    const auto image = Image("ce.img");
    const std::string drive = MakeImage(GetParam(), image);
    ASSERT_EQ(Mount(image), 0u);

    Folder("Docs");
    Folder("Docs/Reports 2024");
    File("Docs/Quarterly report for the board.doc", 12345);
    File("Docs/Reports 2024/Summary.txt", 0);
    File("notes.txt", 40000);
    File("notes copy.txt", 10);
    // Twelve long names that all shorten to HOLIDA~n.JPG: numeric tails, then hashed forms.
    Folder("Pictures");
    for (int n = 1; n <= 12; ++n) File("Pictures/Holiday picture number " + std::to_string(n) + ".jpg", 700 * n);
    // 150 long names take about 450 entries: several clusters on every volume here.
    Folder("Many");
    for (int n = 0; n < 150; ++n) File("Many/entry with a long name " + std::to_string(n) + ".txt", n % 7);

    File("notes.txt", 200, 1);  // replaced by a shorter file
    Copy("Docs/Quarterly report for the board.doc", "notes copy.txt");
    for (int n = 0; n < 150; n += 7) Delete("Many/entry with a long name " + std::to_string(n) + ".txt");
    Delete("Pictures/Holiday picture number 3.jpg");
    File("Pictures/Holiday picture number 13.jpg", 5000);  // reuses freed slots and tails
    Delete("Docs/Reports 2024/Summary.txt");
    ASSERT_TRUE(RemoveDirectory(CePath("Docs/Reports 2024").c_str()));
    model_.erase("Docs/Reports 2024");
    Unmount();

    EXPECT_TRUE(FsckAccepts(image));
    EXPECT_EQ(Extract(drive), model_);
}

INSTANTIATE_TEST_SUITE_P(Images, CeToPc, ::testing::Values(kFloppy12, kMedium16, kVolume32),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// The fixed root of a FAT16 volume takes 512 entries; the next one is refused and nothing of it
// reaches the disk.
TEST_F(FatImageTest, AFullFat16RootRefusesTheNextEntryAndStaysSound) {
    SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat", "mcopy");
    const auto image = Image("root.img");
    const std::string drive = MakeImage(kMedium16, image);
    ASSERT_EQ(Mount(image), 0u);
    for (int n = 0; n < 512; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "F%04d.TXT", n);
        ASSERT_EQ(WriteCeFile(CePath(name), Contents(name, n % 3)), 0u) << name;
    }
    EXPECT_NE(WriteCeFile(CePath("one more.txt"), {1, 2, 3}), 0u);
    SetLastError(0);
    EXPECT_FALSE(CreateDirectory(CePath("ONEMORE").c_str(), nullptr));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(ListVolume().size(), 512u);
    Unmount();

    EXPECT_TRUE(FsckAccepts(image));
    const ToolRun listing = RunTool("mdir -b -i " + drive + " ::");
    EXPECT_EQ(std::count(listing.output.begin(), listing.output.end(), '\n'), 512) << listing.output;
}

}  // namespace
}  // namespace fat_interop
