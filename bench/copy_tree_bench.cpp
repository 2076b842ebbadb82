// Copying a tree of about 2,000 files and 30 MB through the CE file API: within the host-folder
// store, and from it into a memory store mounted beside it. `cp -a` of the same host tree runs
// in the same program as the reference.
#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/memory_backend.h>
#include <platform/text.h>
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ce_copy_tree.h"

namespace {

namespace stdfs = std::filesystem;
using bench_support::CopyTree;

constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 50;

// The generated tree, made once: 10 folders of 4 subfolders, 50 files in each, sizes spread
// between 1 KB and 30 KB.
struct Workspace {
    stdfs::path root;
    uint64_t bytes = 0;
    int files = 0;

    Workspace() {
        std::string pattern = (stdfs::temp_directory_path() / "tandel-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        std::string chunk(32 * 1024, '\0');
        for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 31 + i / 97);
        for (int f = 0; f < kFolders; ++f) {
            const auto folder = Store() / "Tree" / ("Folder " + std::to_string(f / 4)) /
                                ("Sub " + std::to_string(f % 4));
            stdfs::create_directories(folder);
            for (int n = 0; n < kFilesPerFolder; ++n) {
                const int i = f * kFilesPerFolder + n;
                const size_t size = 1000 + static_cast<size_t>(i) * 7919 % 29000;
                std::ofstream(folder / ("file " + std::to_string(n) + ".dat"), std::ios::binary)
                    .write(chunk.data(), static_cast<std::streamsize>(size));
                bytes += size;
                ++files;
            }
        }
        platform::MountRoot(std::make_shared<platform::HostFolderBackend>(
            platform::HostFolderOptions{Store(), {}, {}}));
    }
    ~Workspace() {
        std::error_code error;
        stdfs::remove_all(root, error);
    }
    stdfs::path Store() const { return root / "store"; }
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

void Report(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Shared().bytes));
    state.counters["files"] = Shared().files;
}

// Every run copies into a destination of its own and the copies are removed only at the end:
// deleting between runs would make each run's file creation pay for the previous run's
// deletions in the host file system's inode allocation.
constexpr int kRuns = 5;

void BM_CopyWithinHostFolder(benchmark::State& state) {
    auto& workspace = Shared();
    int run = 0;
    for (auto _ : state) {
        const auto target = u"\\Copy " + platform::Utf16(std::to_string(run++));
        if (!CopyTree(u"\\Tree", target)) state.SkipWithError("copy failed");
    }
    for (int i = 0; i < run; ++i) stdfs::remove_all(workspace.Store() / ("Copy " + std::to_string(i)));
    Report(state);
}

void BM_CopyIntoMemory(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        state.PauseTiming();
        platform::Unmount(u"Ram");
        platform::Mount(u"Ram", std::make_shared<platform::MemoryBackend>());
        state.ResumeTiming();
        if (!CopyTree(u"\\Tree", u"\\Ram\\Copy")) state.SkipWithError("copy failed");
    }
    Report(state);
}

void BM_CpA(benchmark::State& state) {
    auto& workspace = Shared();
    int run = 0;
    for (auto _ : state) {
        const auto command = "cp -a '" + (workspace.Store() / "Tree").string() + "' '" +
                             (workspace.root / ("cp " + std::to_string(run++))).string() + "'";
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp -a failed");
    }
    for (int i = 0; i < run; ++i) stdfs::remove_all(workspace.root / ("cp " + std::to_string(i)));
    Report(state);
}

BENCHMARK(BM_CpA)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRuns);
BENCHMARK(BM_CopyWithinHostFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRuns);
BENCHMARK(BM_CopyIntoMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kRuns);

}  // namespace

BENCHMARK_MAIN();
