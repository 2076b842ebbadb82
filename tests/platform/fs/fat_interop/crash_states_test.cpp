// Crash states of a backup: the block writes a backup of a small tree sends to the medium are
// recorded, and the medium every prefix of them leaves (the handheld dying after write k) is
// rebuilt and judged: fsck.fat -n finds nothing worse than lost clusters, and every file whose
// copy had returned before write k reads back whole, here and (on a sample) through mcopy.
#include "fat_image_fixture.h"
#include "pc_images.h"

namespace fat_interop {
namespace {

constexpr char kBackup[] = "Field 3-18-1999 23.05";
constexpr char kReplaced[] = "My Documents/Notes/week.txt";

struct Copied {
    std::string path;        // relative to the backup folder
    size_t writesBefore = 0;  // block writes on the medium when its copy returned
};

class CrashStates : public FatImageTest {
protected:
    // The device's tree: nested folders, sizes from empty to several clusters.
    void MakeSource() {
        ASSERT_TRUE(CreateDirectory(u"\\Device", nullptr));
        const char* const folders[] = {"My Documents", "My Documents/Notes", "My Documents/Notes/Old",
                                       "Windows", "Windows/Start Menu", "Program Files", "Program Files/Tools"};
        for (const char* folder : folders) ASSERT_TRUE(CreateDirectory(SourcePath(folder).c_str(), nullptr));
        for (int i = 0; i < 30; ++i) {
            // Long names, so entries span sectors and the folders grow by clusters.
            const std::string name = std::string(folders[i % 7]) + "/notes for day " + std::to_string(i) + (i % 3 ? ".txt" : ".DAT");
            Add(name, static_cast<size_t>((i * 7919) % 9000 + (i % 5 == 0 ? 0 : 1)));
        }
        Add(kReplaced, 6100);
    }
    void Add(const std::string& name, size_t size) {
        files_.push_back(name);
        contents_[name] = Contents(name, size);
        ASSERT_EQ(WriteCeFile(SourcePath(name), contents_[name]), 0u);
    }
    static std::u16string SourcePath(const std::string& relative) {
        std::u16string path = u"\\Device\\" + platform::Utf16(relative);
        for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
        return path;
    }
    static std::string BackupRelative(const std::string& name) { return std::string(kBackup) + "/" + name; }

    // What the backup does per file: the folder chain (existing links are no failure), the old
    // copy's protection cleared, the copy over it.
    static bool BackUp(const std::string& name) {
        const std::string target = BackupRelative(name);
        for (size_t slash = target.find('/'); slash != std::string::npos; slash = target.find('/', slash + 1))
            CreateDirectory(CePath(target.substr(0, slash)).c_str(), nullptr);
        SetFileAttributes(CePath(target).c_str(), FILE_ATTRIBUTE_NORMAL);
        return CopyFile(SourcePath(name).c_str(), CePath(target).c_str(), FALSE) != FALSE;
    }

    std::vector<std::string> files_;
    std::map<std::string, std::vector<uint8_t>> contents_;
};

TEST_F(CrashStates, EveryPrefixOfABackupsWritesLeavesASoundMedium) {
    SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat", "mcopy");
    MakeSource();
    const std::filesystem::path start = Image("start.img"), prefix = Image("prefix.img");
    MakeImage(ImageKind{"FAT16, 512-byte clusters", 4096, "-F 16 -s 1", 0}, start);
    // A used medium: free clusters hold old bytes, not zeros. An earlier backup of the same
    // minute left the file this one replaces, read-only.
    ASSERT_EQ(Mount(start), 0u);
    ASSERT_EQ(WriteCeFile(CePath("old junk.bin"), Contents("old junk", 3'000'000)), 0u);
    ASSERT_TRUE(DeleteFile(CePath("old junk.bin").c_str()));
    const std::vector<uint8_t> oldNotes = Contents("old notes", 4000);
    ASSERT_TRUE(CreateDirectory(CePath(kBackup).c_str(), nullptr));
    for (const char* folder : {"My Documents", "My Documents/Notes"})
        ASSERT_TRUE(CreateDirectory(CePath(BackupRelative(folder)).c_str(), nullptr));
    ASSERT_EQ(WriteCeFile(CePath(BackupRelative(kReplaced)), oldNotes), 0u);
    ASSERT_TRUE(SetFileAttributes(CePath(BackupRelative(kReplaced)).c_str(), FILE_ATTRIBUTE_READONLY));
    Unmount();

    const std::vector<uint8_t> startBytes = ReadHostFile(start);
    std::filesystem::copy_file(start, prefix);
    ASSERT_EQ(Mount(prefix), 0u);
    disk_->RecordWrites(true);
    std::vector<Copied> copied;
    for (const std::string& name : files_) {
        ASSERT_TRUE(BackUp(name)) << name << " " << GetLastError();
        copied.push_back({name, static_cast<size_t>(disk_->Requests(testing_support::RequestKind::Write))});
    }
    const std::vector<testing_support::BlockWrite> writes = disk_->RecordedWrites();
    Unmount();
    ASSERT_EQ(writes.size(), copied.back().writesBefore);
    std::cout << "backup of " << files_.size() << " files: " << writes.size() << " block writes\n";

    WriteHostFile(prefix, startBytes);
    for (size_t k = 0; k <= writes.size(); ++k) {
        SCOPED_TRACE("dead after write " + std::to_string(k));
        if (k > 0) {
            std::fstream image(prefix, std::ios::binary | std::ios::in | std::ios::out);
            image.seekp(static_cast<std::streamoff>(writes[k - 1].startSector) * 512);
            image.write(reinterpret_cast<const char*>(writes[k - 1].bytes.data()),
                        static_cast<std::streamsize>(writes[k - 1].bytes.size()));
        }
        ASSERT_TRUE(FsckAccepts(prefix, true));
        ASSERT_EQ(Mount(prefix), 0u);
        std::vector<std::string> whole;
        for (const Copied& c : copied) {
            const auto read = ReadCeFile(CePath(BackupRelative(c.path)));
            if (c.writesBefore <= k) {
                EXPECT_EQ(read, contents_[c.path]) << c.path;
                whole.push_back(c.path);
            } else if (c.path == kReplaced) {
                EXPECT_TRUE(read == oldNotes || read == contents_[c.path]) << "the replaced file is torn";
            } else {
                EXPECT_TRUE(!read || read->empty() || read == contents_[c.path]) << c.path << " is torn";
            }
        }
        Unmount();
        // The PC's view on a sample of the prefixes (and the last).
        if (k % 16 == 0 || k == writes.size()) {
            const std::filesystem::path out = Image("out");
            std::filesystem::remove_all(out);
            std::filesystem::create_directory(out);
            const ToolRun run = RunTool("mcopy -s -n -m -i " + Quoted(prefix.string()) + " ::/ " + Quoted(out.string()));
            ASSERT_EQ(run.exitCode, 0) << run.output;
            for (const std::string& name : whole)
                EXPECT_EQ(ReadHostFile(out / BackupRelative(name)), contents_[name]) << "mcopy: " << name;
        }
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace fat_interop
