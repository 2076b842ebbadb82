// The FAT file system against mtools, in one run on one machine:
//  1. the reference tree (2,000 files, 101 folders, about 31.8 MB) copied with the CE file API
//     (FindFirstFile/CreateDirectory/CopyFile) from a host folder into a fresh 40 MB FAT16
//     volume on a memory DSK device, against `mcopy -s` of the same host tree into an image that
//     mkfs.fat made of the same size (the same layout);
//  2. long names sharing one 40-character prefix created in one folder (every new name needs a
//     short alias that no other entry holds), against mcopy of as many empty files, and our time
//     at 500, 1,000, 2,000 and 4,000 names.
// Wall and CPU time are reported; on a loaded machine the CPU ratio is the steadier one.
// Usage: fat_bench [runs]   (default 3; the median run counts)
#include <platform/devices.h>
#include <platform/fat_volume.h>
#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/text.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "support/memory_disk_device.h"
#include "support/reference_tree.h"

namespace {

namespace stdfs = std::filesystem;
using testing_support::MemoryDiskDevice;

constexpr DWORD kVolumeSectors = 40 * 1024 * 2;  // 40 MiB: FAT16 with 2 KiB clusters

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds, of this process or of the tool it ran
};

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Work>
Timing Measure(int who, Work work) {
    const double cpu = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "fat_bench: a run failed\n");
        std::exit(1);
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return {wall.count(), CpuSeconds(who) - cpu};
}

Timing Median(std::vector<Timing> runs) {
    std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
    return runs[runs.size() / 2];
}

std::string Quoted(const stdfs::path& path) {
    std::string quoted = "'";
    for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool Shell(const std::string& command) {
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1 " + command + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

// A 40 MiB image as mkfs.fat makes it, with an optional empty folder.
bool MakeMkfsImage(const stdfs::path& image, const char* folder = nullptr) {
    stdfs::remove(image);
    std::ofstream(image).close();
    stdfs::resize_file(image, uint64_t{kVolumeSectors} * 512);
    if (!Shell("mkfs.fat " + Quoted(image))) return false;
    return folder == nullptr || Shell("mmd -i " + Quoted(image) + " ::/" + folder);
}

// A fresh FAT16 volume from the platform's formatter on a memory disk, mounted as \Card.
std::shared_ptr<MemoryDiskDevice> MountFreshVolume() {
    auto disk = std::make_shared<MemoryDiskDevice>(kVolumeSectors);
    MemoryDiskDevice::Register(1, disk);
    if (platform::FormatFatVolume(u"DSK1:", u"BENCH") != 0 || platform::MountFatVolume(u"Card", u"DSK1:") != 0) {
        std::fprintf(stderr, "fat_bench: cannot format or mount the memory disk\n");
        std::exit(1);
    }
    return disk;
}

void DropVolume() {
    platform::UnmountFatVolume(u"Card");
    platform::ResetDevices();
}

// The walk a backup makes: list with *.*, recurse into folders, copy each file.
bool CopyTree(const std::u16string& from, const std::u16string& to) {
    if (!CreateDirectory(to.c_str(), nullptr)) return false;
    WIN32_FIND_DATA data;
    HANDLE listing = FindFirstFile((from + u"\\*.*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_NO_MORE_FILES;
    bool ok = true;
    do {
        const std::u16string name = data.cFileName;
        ok = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? CopyTree(from + u"\\" + name, to + u"\\" + name)
                 : CopyFile((from + u"\\" + name).c_str(), (to + u"\\" + name).c_str(), FALSE);
    } while (ok && FindNextFile(listing, &data));
    FindClose(listing);
    return ok;
}

Timing CeTreeCopy(const bench_support::ReferenceTree& tree) {
    MountFreshVolume();
    const std::u16string top = platform::Utf16(tree.top);
    const Timing t = Measure(RUSAGE_SELF, [&] { return CopyTree(u"\\Host\\" + top, u"\\Card\\" + top); });
    DropVolume();
    return t;
}

Timing McopyTree(const stdfs::path& work, const bench_support::ReferenceTree& tree) {
    const stdfs::path image = work / "mcopy.img";
    if (!MakeMkfsImage(image)) std::exit(1);
    return Measure(RUSAGE_CHILDREN, [&] {
        return Shell("mcopy -s -i " + Quoted(image) + " " + Quoted(work / "host" / tree.top) + " ::");
    });
}

bool CreateEmpty(const std::u16string& path) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

Timing CeNames(size_t count) {
    const auto names = bench_support::PrefixedNames(count);
    MountFreshVolume();
    CreateDirectory(u"\\Card\\Names", nullptr);
    const Timing t = Measure(RUSAGE_SELF, [&] {
        for (const std::string& name : names)
            if (!CreateEmpty(u"\\Card\\Names\\" + platform::Utf16(name))) return false;
        return true;
    });
    DropVolume();
    return t;
}

Timing McopyNames(const stdfs::path& work, size_t count) {
    const stdfs::path folder = work / "names";
    stdfs::remove_all(folder);
    stdfs::create_directories(folder);
    for (const std::string& name : bench_support::PrefixedNames(count)) std::ofstream(folder / name).close();
    const stdfs::path image = work / "names.img";
    if (!MakeMkfsImage(image, "Names")) std::exit(1);
    return Measure(RUSAGE_CHILDREN, [&] {
        return Shell("cd " + Quoted(folder) + " && mcopy -i " + Quoted(image) + " * ::/Names");
    });
}

void Row(const char* what, const Timing& ours, const Timing& theirs) {
    std::printf("| %s | %.3f s (cpu %.3f) | %.3f s (cpu %.3f) | %.2f (cpu %.2f) |\n", what, ours.wall, ours.cpu,
                theirs.wall, theirs.cpu, ours.wall / theirs.wall, ours.cpu / theirs.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::string pattern = (stdfs::temp_directory_path() / "tandel-fat-bench-XXXXXX").string();
    const stdfs::path work = ::mkdtemp(pattern.data());

    const auto tree = bench_support::MakeReferenceTree();
    if (!bench_support::WriteHostTree(tree, work / "host")) return 1;
    platform::Mount(u"Host", std::make_shared<platform::HostFolderBackend>(
                                 platform::HostFolderOptions{work / "host", {}, {}}));
    std::printf("reference tree: %zu files in %zu folders, %.1f MB\n\n", tree.files.size(), tree.folders.size(),
                tree.totalBytes / 1e6);

    std::vector<Timing> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(CeTreeCopy(tree));
        theirs.push_back(McopyTree(work, tree));
    }
    std::printf("| work | CE file API on FAT16 | mtools | ratio (ours / mtools) |\n|---|---|---|---|\n");
    Row("reference tree copy (median)", Median(ours), Median(theirs));
    const Timing names2000 = CeNames(2000);
    Row("2,000 prefixed long names", names2000, McopyNames(work, 2000));

    std::printf("\n| names | CE file API | per name | growth over n log n from 500 |\n|---|---|---|---|\n");
    double base = 0;
    for (size_t n : {500, 1000, 2000, 4000}) {
        const Timing t = n == 2000 ? names2000 : CeNames(n);
        const double nlogn = n * std::log2(double(n));
        if (base == 0) base = t.cpu / nlogn;
        std::printf("| %zu | %.3f s (cpu %.3f) | %.1f us | %.2f |\n", n, t.wall, t.cpu, 1e6 * t.cpu / n,
                    t.cpu / nlogn / base);
    }
    std::error_code error;
    stdfs::remove_all(work, error);
    return 0;
}
