// Volumes the PC made and filled (mkfs.fat, mcopy, mmd, mattrib) read here as the PC wrote them:
// the same names, sizes, attributes and times, the same bytes.
#include <ctime>

#include "fat_image_fixture.h"
#include "pc_images.h"

namespace fat_interop {
namespace {

struct HostFile {
    std::string path;  // relative, '/'-separated
    size_t size;       // kOneCluster: exactly one cluster of the volume
    bool readOnly;
};

constexpr size_t kOneCluster = SIZE_MAX;

const HostFile kTree[] = {
    {"README.TXT", 100, false},
    {"A long file name with spaces.txt", 3000, false},
    {"MiXeD.Txt", 10, false},
    {"empty.dat", 0, false},
    {"one cluster.bin", kOneCluster, false},
    {"Read Only.txt", 50, true},
    {"Folder One/SHORT.C", 1, false},
    {"Folder One/Sub folder two/deep file with a long name.bin", 70000, false},
    {"Another folder with a rather long name/file.txt", 4097, false},
};
const char* const kEmptyFolder = "Folder One/Empty folder";

uint32_t ClusterBytes(const std::filesystem::path& image, uint32_t partitionStart) {
    std::ifstream in(image, std::ios::binary);
    in.seekg(uint64_t{partitionStart} * 512);
    uint8_t boot[14] = {};
    in.read(reinterpret_cast<char*>(boot), sizeof boot);
    return (boot[11] | (boot[12] << 8)) * boot[13];
}

// Host files whose write times lie one hour and a few odd seconds apart.
std::time_t WriteTime(size_t index) { return 1614834367 + static_cast<std::time_t>(index) * 3607; }

uint64_t Ticks(std::time_t seconds) { return (uint64_t(seconds) + 11644473600ull) * 10000000ull; }

class PcToCe : public FatImageTest, public ::testing::WithParamInterface<ImageKind> {
protected:
    // The tree on the host, then on the image through mcopy -s -m and mattrib.
    void FillImage(const std::string& drive, uint32_t clusterBytes) {
        const auto host = temp_.Path() / "host";
        std::filesystem::create_directories(host / kEmptyFolder);
        for (size_t i = 0; i < std::size(kTree); ++i) {
            const HostFile& f = kTree[i];
            const auto path = host / f.path;
            std::filesystem::create_directories(path.parent_path());
            contents_[f.path] = Contents(f.path, f.size == kOneCluster ? clusterBytes : f.size);
            WriteHostFile(path, contents_[f.path]);
            const std::string stamp = "@" + std::to_string(WriteTime(i));
            ASSERT_EQ(RunTool("touch -d " + stamp + " " + Quoted(path.string())).exitCode, 0);
        }
        const ToolRun copied = RunTool("cd " + Quoted(host.string()) + " && mcopy -s -m -i " + drive + " * ::");
        ASSERT_EQ(copied.exitCode, 0) << copied.output;
        for (const HostFile& f : kTree) {
            if (!f.readOnly) continue;
            ASSERT_EQ(RunTool("mattrib +r -i " + drive + " " + Quoted("::/" + f.path)).exitCode, 0);
        }
    }

    std::map<std::string, std::vector<uint8_t>> contents_;
};

TEST_P(PcToCe, ListsAndReadsWhatMtoolsWrote) {
    SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "mattrib");
    const ImageKind kind = GetParam();
    const auto image = Image("pc.img");
    const std::string drive = MakeImage(kind, image);
    FillImage(drive, ClusterBytes(image, kind.partitionStart));
    ASSERT_EQ(Mount(image), 0u);

    std::map<std::string, Listed> expected;
    for (size_t i = 0; i < std::size(kTree); ++i) {
        const HostFile& f = kTree[i];
        const DWORD attributes = FILE_ATTRIBUTE_ARCHIVE | (f.readOnly ? FILE_ATTRIBUTE_READONLY : 0);
        expected[f.path] = {attributes, contents_[f.path].size(), Ticks(WriteTime(i))};
        for (auto slash = f.path.find('/'); slash != std::string::npos; slash = f.path.find('/', slash + 1))
            expected[f.path.substr(0, slash)] = {FILE_ATTRIBUTE_DIRECTORY, 0, 0};
    }
    expected[kEmptyFolder] = {FILE_ATTRIBUTE_DIRECTORY, 0, 0};

    const auto listed = ListVolume();
    std::vector<std::string> listedNames, expectedNames;
    for (const auto& [name, entry] : listed) listedNames.push_back(name);
    for (const auto& [name, entry] : expected) expectedNames.push_back(name);
    ASSERT_EQ(listedNames, expectedNames);
    constexpr uint64_t kTwoSeconds = 20000000;
    for (const auto& [name, want] : expected) {
        SCOPED_TRACE(name);
        const Listed& got = listed.at(name);
        EXPECT_EQ(got.attributes, want.attributes);
        if (want.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        EXPECT_EQ(got.size, want.size);
        EXPECT_LT(want.writeTicks - got.writeTicks, kTwoSeconds) << "written " << want.writeTicks << ", listed "
                                                                << got.writeTicks;
        EXPECT_EQ(ReadCeFile(CePath(name)), contents_[name]);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, PcToCe, ::testing::Values(kFloppy12, kMedium16, kVolume32, kPartitioned16),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
}  // namespace fat_interop
