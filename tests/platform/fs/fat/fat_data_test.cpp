// File contents: a full disk refuses with 112 and adds nothing, sparse growth reads as zeros,
// truncation gives clusters back, times go through the time zone, and every call leaves the
// medium holding all it changed (a copy of the raw bytes shows the same tree).
#include "fat_fixture.h"

#include <platform/memory_backend.h>

#include <thread>

namespace fat_tests {
namespace {

// The room the volume has, as a file that grows in 4 KiB steps until refused finds it; the
// file is deleted again.
DWORD FreeClusterBytes() {
    HANDLE probe = CreateFile(u"\\Storage\\FREE.PRB", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD size = 0;
    for (;;) {
        const DWORD next = size + 4096;
        if (SetFilePointer(probe, static_cast<LONG>(next), nullptr, FILE_BEGIN) != next || !SetEndOfFile(probe)) break;
        size = next;
    }
    CloseHandle(probe);
    DeleteFile(u"\\Storage\\FREE.PRB");
    return size;
}

TEST_F(FatVolumeTest, FullDiskRefusesWithNothingHalfAdded) {
    Format("-F 12", 256);
    const DWORD free = FreeClusterBytes();
    ASSERT_GT(free, 100000u);
    HANDLE file = CreateFile(u"\\Storage\\BIG.BIN", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string chunk = Pattern(30000, 2);
    DWORD done = 0;
    while (WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr)) {
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(done, 0u);
    const DWORD size = GetFileSize(file, nullptr);
    EXPECT_EQ(size % chunk.size(), 0u);
    CloseHandle(file);

    // A copy that cannot fit leaves the destination it would have replaced.
    ASSERT_EQ(WriteWhole(u"\\Storage\\DEST.TXT", "old contents"), 0u);
    ASSERT_EQ(WriteWhole(u"\\Huge.bin", Pattern(200000, 3)), 0u);
    SetLastError(kSentinel);
    EXPECT_FALSE(CopyFile(u"\\Huge.bin", u"\\Storage\\DEST.TXT", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(ReadWhole(u"\\Storage\\DEST.TXT"), "old contents");
    EXPECT_TRUE(FsckPasses());

    ASSERT_TRUE(DeleteFile(u"\\Storage\\BIG.BIN"));
    ASSERT_TRUE(DeleteFile(u"\\Storage\\DEST.TXT"));
    EXPECT_EQ(FreeClusterBytes(), free);
    EXPECT_TRUE(FsckPasses());
}

TEST_F(FatVolumeTest, SparseGrowthReadsZerosAndTruncationFreesClusters) {
    Format(kSmallFat16, kSmallFat16Kib);
    const DWORD free = FreeClusterBytes();
    HANDLE file = CreateFile(u"\\Storage\\Sparse.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "abc", 3, &done, nullptr));
    ASSERT_EQ(SetFilePointer(file, 100000, nullptr, FILE_BEGIN), 100000u);
    ASSERT_TRUE(WriteFile(file, "xyz", 3, &done, nullptr));
    ASSERT_EQ(SetFilePointer(file, 10, nullptr, FILE_BEGIN), 10u);
    ASSERT_TRUE(SetEndOfFile(file));
    ASSERT_EQ(SetFilePointer(file, 50000, nullptr, FILE_BEGIN), 50000u);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);

    std::string expected(50000, '\0');
    expected.replace(0, 3, "abc");
    EXPECT_EQ(ReadWhole(u"\\Storage\\Sparse.bin"), expected);
    MountSnapshot();
    EXPECT_EQ(ReadWhole(u"\\Copy\\Sparse.bin"), expected);
    EXPECT_TRUE(FsckPasses());

    file = CreateFile(u"\\Storage\\Sparse.bin", GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // FAT sizes are 32-bit: a write that would end past 4 GiB - 1 is refused before anything moves.
    LONG high = 1;
    ASSERT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), 0u);
    SetLastError(kSentinel);
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    CloseHandle(file);
    EXPECT_EQ(FreeClusterBytes(), free);
    EXPECT_TRUE(FsckPasses());
}

TEST_F(FatVolumeTest, TimesAreLocalWithTwoSecondWritesAndTenMillisecondCreation) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_EQ(WriteWhole(u"\\Storage\\When.txt", "now"), 0u);
    WIN32_FIND_DATA data;
    HANDLE find = FindFirstFile(u"\\Storage\\When.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    SYSTEMTIME created, written;
    FileTimeToSystemTime(&data.ftCreationTime, &created);
    FileTimeToSystemTime(&data.ftLastWriteTime, &written);
    // The clock reads 10:30:01.250 local, two hours ahead of UTC.
    EXPECT_EQ(created.wHour, 8);
    EXPECT_EQ(created.wSecond, 1);
    EXPECT_EQ(created.wMilliseconds, 250);
    EXPECT_EQ(written.wHour, 8);
    EXPECT_EQ(written.wMinute, 30);
    EXPECT_EQ(written.wSecond, 0);
    EXPECT_EQ(written.wMilliseconds, 0);
}

// After each call returns, the raw medium alone shows its effect.
TEST_F(FatVolumeTest, EveryCallLeavesItsChangesOnTheMedium) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_EQ(WriteWhole(u"\\Source.bin", Pattern(150000, 4)), 0u);
    std::vector<uint8_t> replayed = disk_->Bytes();
    disk_->RecordWrites(true);
    const std::vector<std::pair<const char*, std::function<bool()>>> steps = {
        {"CreateDirectory", [] { return CreateDirectory(u"\\Storage\\Backup", nullptr) != FALSE; }},
        {"nested CreateDirectory", [] { return CreateDirectory(u"\\Storage\\Backup\\Inner", nullptr) != FALSE; }},
        {"WriteFile and CloseHandle",
         [] { return WriteWhole(u"\\Storage\\Backup\\Notes for the week.txt", Pattern(5000, 5)) == 0; }},
        {"CopyFile new", [] { return CopyFile(u"\\Source.bin", u"\\Storage\\Backup\\Inner\\Copy.bin", TRUE) != FALSE; }},
        {"CopyFile replace",
         [] { return CopyFile(u"\\Storage\\Backup\\Notes for the week.txt", u"\\Storage\\Backup\\Inner\\Copy.bin", FALSE) != FALSE; }},
        {"SetFileAttributes",
         [] { return SetFileAttributes(u"\\Storage\\Backup\\Inner\\Copy.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) != FALSE; }},
        {"DeleteFile", [] { return DeleteFile(u"\\Storage\\Backup\\Notes for the week.txt") != FALSE; }},
        {"SetFileAttributes back",
         [] { return SetFileAttributes(u"\\Storage\\Backup\\Inner\\Copy.bin", FILE_ATTRIBUTE_NORMAL) != FALSE; }},
        {"DeleteFile copy", [] { return DeleteFile(u"\\Storage\\Backup\\Inner\\Copy.bin") != FALSE; }},
        {"RemoveDirectory", [] { return RemoveDirectory(u"\\Storage\\Backup\\Inner") != FALSE; }},
    };
    for (const auto& [label, step] : steps) {
        ASSERT_TRUE(step()) << label << " " << GetLastError();
        MountSnapshot();
        EXPECT_EQ(Tree(u"\\Copy"), Tree(u"\\Storage")) << label;
        EXPECT_TRUE(FsckPasses(disk_->Bytes())) << label;
    }
    // The record of block writes, replayed in order, rebuilds the medium: what crash tests use.
    for (const auto& write : disk_->RecordedWrites()) {
        std::copy(write.bytes.begin(), write.bytes.end(), replayed.begin() + write.startSector * 512);
    }
    EXPECT_TRUE(replayed == disk_->Bytes());
}

// A file's last sector is written without reading it first when nothing after the write is
// the file's; a write into the middle of a sector keeps the bytes around it.
TEST_F(FatVolumeTest, PartialSectorsKeepTheFileAndTheLastCostsNoRead) {
    Format(kSmallFat16, kSmallFat16Kib);
    const std::u16string path = u"\\Storage\\odd.bin";
    std::string expected = Pattern(1000, 3);
    ASSERT_EQ(WriteWhole(u"\\Storage\\first.bin", "the root folder is read by now"), 0u);
    const uint64_t reads = disk_->Requests(testing_support::RequestKind::Read);
    ASSERT_EQ(WriteWhole(path, expected), 0u);
    EXPECT_EQ(disk_->Requests(testing_support::RequestKind::Read), reads);
    const struct {
        LONG offset;
        size_t size;
    } writes[] = {{100, 100}, {990, 30}, {1020, 7}, {0, 3}, {0, 600}};
    for (const auto& w : writes) {
        HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string bytes = Pattern(w.size, static_cast<unsigned>(w.offset));
        SetFilePointer(file, w.offset, nullptr, FILE_BEGIN);
        DWORD put = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
        CloseHandle(file);
        expected.resize(std::max(expected.size(), w.offset + w.size));
        expected.replace(static_cast<size_t>(w.offset), w.size, bytes);
        MountSnapshot();
        EXPECT_EQ(ReadWhole(u"\\Copy\\odd.bin"), expected) << "after writing at " << w.offset;
    }
}

// Paths walked file after file reach their folders quickly; a folder that goes and a file of
// its name that comes are seen at once.
TEST_F(FatVolumeTest, AFolderRemovedIsGoneFromEveryPathThroughIt) {
    Format(kSmallFat16, kSmallFat16Kib);
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\a", nullptr));
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\a\\b", nullptr));
    ASSERT_EQ(WriteWhole(u"\\Storage\\a\\b\\old.txt", "old"), 0u);
    ASSERT_TRUE(DeleteFile(u"\\Storage\\a\\b\\old.txt"));
    ASSERT_TRUE(RemoveDirectory(u"\\Storage\\a\\b"));
    ASSERT_EQ(WriteWhole(u"\\Storage\\a\\b", "a file now"), 0u);
    EXPECT_EQ(WriteWhole(u"\\Storage\\a\\b\\new.txt", "new"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    MountSnapshot();
    EXPECT_EQ(ReadWhole(u"\\Copy\\a\\b"), "a file now");
}

// A new entry whose long-name slots end one cluster and whose short entry starts another (not
// the next on the disk): every prefix of its writes passes fsck.fat, so no cut leaves
// long-name slots that no short entry ends.
TEST_F(FatVolumeTest, ANewEntryAcrossClustersIsSoundAfterEveryWrite) {
    Format(kSmallFat16, kSmallFat16Kib);  // 512-byte clusters: 16 slots each
    ASSERT_TRUE(CreateDirectory(u"\\Storage\\F", nullptr));
    ASSERT_EQ(WriteWhole(u"\\Storage\\between.bin", Pattern(2000, 1)), 0u);  // the clusters after F's
    for (int i = 0; i < 13; ++i) {  // . and .. and 13 short entries: one slot left
        ASSERT_EQ(WriteWhole(u"\\Storage\\F\\A" + platform::Utf16(std::to_string(i)) + u".TXT", "x"), 0u);
    }
    std::vector<uint8_t> bytes = disk_->Bytes();
    disk_->RecordWrites(true);
    ASSERT_EQ(WriteWhole(u"\\Storage\\F\\a long name across.txt", Pattern(700, 2)), 0u);
    const auto writes = disk_->RecordedWrites();
    ASSERT_GE(writes.size(), 4u);  // data, FAT, and the folder's two clusters at least
    if (!HaveTool("fsck.fat")) GTEST_SKIP() << "fsck.fat is not installed";
    const std::filesystem::path cut = temp_.Path() / "cut.img";
    for (size_t k = 0; k < writes.size(); ++k) {
        std::copy(writes[k].bytes.begin(), writes[k].bytes.end(), bytes.begin() + writes[k].startSector * 512);
        SaveBytes(cut, bytes);
        // Between the writes of the two FATs they differ, and clusters not yet named are lost:
        // nothing else may be found.
        FILE* run = ::popen(("fsck.fat -n '" + cut.string() + "' 2>&1").c_str(), "r");
        std::string report;
        char line[512];
        while (std::fgets(line, sizeof line, run) != nullptr) {
            const std::string text = line;
            bool harmless = text == "\n";
            for (const char* known : {"fsck.fat ", "FATs differ but appear to be intact", "Using first FAT",
                                      "Reclaimed ", "Leaving filesystem unchanged", " files, "})
                harmless = harmless || text.find(known) != std::string::npos;
            if (!harmless) report += text;
        }
        ::pclose(run);
        EXPECT_EQ(report, "") << "after write " << k + 1 << " of " << writes.size();
    }
}

// Threads writing their own folders and one listing the root share the volume safely.
TEST_F(FatVolumeTest, ThreadsShareOneVolume) {
    Format(kSmallFat16, kSmallFat16Kib);
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t) {
        writers.emplace_back([t] {
            const std::u16string folder = u"\\Storage\\Thread " + platform::Utf16(std::to_string(t));
            ASSERT_TRUE(CreateDirectory(folder.c_str(), nullptr));
            for (int i = 0; i < 20; ++i) {
                const std::u16string path = folder + u"\\File number " + platform::Utf16(std::to_string(i));
                ASSERT_EQ(WriteWhole(path, Pattern(3000 + i, t)), 0u);
                ASSERT_EQ(ReadWhole(path), Pattern(3000 + i, t));
            }
        });
    }
    for (int i = 0; i < 20; ++i) (void)List(u"\\Storage");
    for (auto& writer : writers) writer.join();
    EXPECT_TRUE(FsckPasses());
}

}  // namespace
}  // namespace fat_tests
