// The whole road against the PC's tools, in one run on one machine:
//  1. backup: the reference tree (2,000 files, 101 folders, about 31.8 MB) in the handheld's
//     object store (a host-folder store over a ROM folder, as the launcher's handheld has)
//     copied by Tandel's backup engine onto the emulated drive's 40 MB medium: the FAT volume
//     at \Storage, QVDISK's DSK device, the card driver QVCARD, QVATAPI's packets, every data
//     word a register access through the I/O window, the emulated drive, the medium image;
//     against `mcopy -s` of the same host tree into an image of the same size that mkfs.fat
//     made;
//  2. restore: that backup copied back by Tandel's restore engine onto an empty object store,
//     against `mcopy -s` out of the mtools image into an empty host folder.
// Wall and CPU time are reported (ours: this process, which also runs the emulated drive; the
// tools': the children); on a loaded machine the CPU ratio is the steadier one. The progress
// dialog's closing pause is not part of the engine's work and is left out.
// Both restores write into folders made together before the first run and nothing is deleted
// until the end: a host file system that has just freed thousands of inodes can make the next
// creations several times slower (ext4 without a journal skips recently freed inodes), which
// would charge one side for the other's clean-up.
// Usage: full_stack_bench [runs] [--backup-only]   (default 3 runs; the median run counts)
#include <core/backup_engine.h>
#include <core/drive_folder.h>
#include <core/program_objects.h>
#include <core/restore_engine.h>
#include <platform/file_system.h>
#include <platform/host_folder_backend.h>
#include <platform/installer.h>
#include <platform/registry_hive.h>
#include <platform/text.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "default_registry.h"
#include "drive_card.h"
#include "sim/drive/medium_image.h"
#include "support/host_tools.h"
#include "support/reference_tree.h"
#include "support/timing.h"

namespace {

namespace stdfs = std::filesystem;
using bench_support::Measure;
using bench_support::Median;
using bench_support::Quoted;
using bench_support::Shell;
using bench_support::Timing;

constexpr char kProgram[] = "full_stack_bench";

void Fail(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", kProgram, why.c_str());
    std::exit(1);
}

uint64_t HostTreeBytes(const stdfs::path& top) {
    uint64_t bytes = 0;
    for (const auto& entry : stdfs::recursive_directory_iterator(top))
        if (entry.is_regular_file()) bytes += entry.file_size();
    return bytes;
}

// The handheld's object store: a host-folder store over its ROM folder, whose files appear in
// \Windows, as the launcher's handheld has them.
void MountStore(const stdfs::path& folder, const stdfs::path& rom) {
    stdfs::create_directories(folder);
    platform::MountRoot(std::make_shared<platform::HostFolderBackend>(platform::HostFolderOptions{folder, {}, rom}));
}

void WriteRom(const stdfs::path& rom) {
    stdfs::create_directories(rom / "Windows");
    for (const char* name : {"system.dll", "shell.exe", "ui font.ttf"}) {
        std::ofstream(rom / "Windows" / name, std::ios::binary) << "in ROM\n";
    }
}

const WCHAR kBackupPath[] = u"\\Storage\\Field 12-8-2026 13.00";

// The backup worker's work, without the progress dialog's closing pause.
bool Backup() {
    TransferJob job;
    job.backupPath = kBackupPath;
    job.mode = MODE_BACKUP;
    TransferContext context;
    context.job = &job;
    if (CreateFolderChain(context, job.backupPath) != RESULT_SUCCESS) return false;
    context.totalBytes = CountTreeBytes(context, job.source);
    return CopyTree(context, job.source) == RESULT_SUCCESS;
}

bool Restore() {
    TransferJob job;
    job.source = kBackupPath;
    job.backupPath = kBackupPath;
    TransferContext context;
    return PerformRestore(context, job) == RESULT_SUCCESS;
}

// The handheld's card with a fresh medium, formatted by the card driver on insertion.
struct Card {
    explicit Card(const stdfs::path& image) {
        stdfs::remove(image);
        if (!sim::CreateBlankImage(image)) Fail("cannot create the medium image");
        card = std::make_unique<sim::DriveCard>(image);
        std::string note;
        if (const std::string error = card->Insert(note); !error.empty()) Fail(error);
        if (GetFileAttributes(u"\\Storage") == INVALID_FILE_ATTRIBUTES) Fail("the card's disk is not mounted:\n" + note);
    }
    ~Card() { card->Remove(); }
    std::unique_ptr<sim::DriveCard> card;
};

void Row(const char* what, const Timing& ours, const Timing& theirs) {
    std::printf("| %s | %.3f s (cpu %.3f) | %.3f s (cpu %.3f) | %.2f (cpu %.2f) |\n", what, ours.wall, ours.cpu,
                theirs.wall, theirs.cpu, ours.wall / theirs.wall, ours.cpu / theirs.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    bool backupOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--backup-only") == 0) {
            backupOnly = true;
        } else {
            runs = std::max(1, std::atoi(argv[i]));
        }
    }
    std::string pattern = (stdfs::temp_directory_path() / "tandel-full-stack-XXXXXX").string();
    const stdfs::path work = ::mkdtemp(pattern.data());

    // The handheld: its registry with the package installed, the program's path separator and
    // the drive's folder as drive discovery would set them.
    if (!platform::ImportRegistryText(sim::DefaultRegistryText()).ok) Fail("default registry");
    if (platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install).initCode != 0) Fail("QVSETUP");
    pathSeparator = u"\\";
    std::memcpy(driveFolder, u"\\Storage", sizeof u"\\Storage");

    WriteRom(work / "rom");
    const auto tree = bench_support::MakeReferenceTree();
    if (!bench_support::WriteHostTree(tree, work / "store")) Fail("cannot write the reference tree");
    std::printf("reference tree: %zu files in %zu folders, %.1f MB; medium %u blocks\n\n", tree.files.size(),
                tree.folders.size(), tree.totalBytes / 1e6, sim::kDefaultMediumBlocks);

    std::vector<Timing> backups, mcopyIn, restores, mcopyOut;
    auto restoredBy = [&](const char* who, int run) { return work / (who + std::to_string(run)); };
    for (int run = 0; run < runs; ++run) {
        stdfs::create_directories(restoredBy("restored-", run));
        stdfs::create_directories(restoredBy("pc-restored-", run));
    }
    for (int run = 0; run < runs; ++run) {
        MountStore(work / "store", work / "rom");
        {
            Card card(work / "card.img");
            backups.push_back(Measure(kProgram, RUSAGE_SELF, Backup));
            if (!backupOnly) {
                MountStore(restoredBy("restored-", run), work / "rom");
                restores.push_back(Measure(kProgram, RUSAGE_SELF, Restore));
                if (HostTreeBytes(restoredBy("restored-", run)) != tree.totalBytes) Fail("the restore is not whole");
            }
        }
        if (run == 0 && !Shell("fsck.fat -n " + Quoted(work / "card.img"))) Fail("fsck.fat finds fault with the medium");

        const stdfs::path image = work / "mcopy.img";
        stdfs::remove(image);
        std::ofstream(image).close();
        stdfs::resize_file(image, uint64_t{sim::kDefaultMediumBlocks} * 512);
        if (!Shell("mkfs.fat " + Quoted(image))) Fail("mkfs.fat");
        mcopyIn.push_back(Measure(kProgram, RUSAGE_CHILDREN, [&] {
            return Shell("mcopy -s -i " + Quoted(image) + " " + Quoted(work / "store" / tree.top) + " ::");
        }));
        if (!backupOnly) {
            mcopyOut.push_back(Measure(kProgram, RUSAGE_CHILDREN, [&] {
                return Shell("mcopy -s -i " + Quoted(image) + " ::/" + Quoted(tree.top) + " " +
                             Quoted(restoredBy("pc-restored-", run)));
            }));
        }
    }
    std::printf("| work (median of %d) | Tandel, whole road | mtools | ratio (ours / mtools) |\n|---|---|---|---|\n",
                runs);
    Row("backup of the reference tree", Median(backups), Median(mcopyIn));
    if (!backupOnly) Row("restore onto an empty store", Median(restores), Median(mcopyOut));
    const Timing backup = Median(backups);
    std::printf("\nbackup: %.1f MB/s of file data (wall), %.1f MB/s per CPU second\n", tree.totalBytes / 1e6 / backup.wall,
                tree.totalBytes / 1e6 / backup.cpu);
    std::error_code error;
    stdfs::remove_all(work, error);
    return 0;
}
