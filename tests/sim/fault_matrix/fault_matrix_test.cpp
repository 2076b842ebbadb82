// The fault matrix: Tandel on the launcher's default handheld (plus one larger file), driven
// through automation on the virtual clock, with a fault thrown at an exact moment of a backup
// or a restore. Every cell must end with the closing message of the code that arose (none
// after Cancel) within a bound of virtual time, leave every device file as it was or wholly
// replaced, remove a cancelled backup's own folder, leave a medium that fsck.fat accepts apart
// from lost clusters, and let a new backup succeed once the card is in again.
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <platform/file_system.h>
#include <platform/installer.h>
#include <platform/text.h>
#include <platform/ui/automation.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "../../platform/fs/fat_interop/fat_image_fixture.h"
#include "../../platform/fs/fat_interop/pc_tools.h"
#include "support/reference_tree.h"
#include "drive_card.h"
#include "fault_cells.h"
#include "handheld_state.h"
#include "program_launcher.h"
#include "sim/drive/medium_image.h"
#include "support/device_files.h"
#include "support/faulty_backend.h"
#include "support/temp_folder.h"

namespace fault_matrix {
namespace {

namespace automation = platform::ui::automation;
namespace fs = std::filesystem;
using testing_support::FaultyBackend;
using testing_support::WriteWholeFile;

constexpr int kMain = 101, kMessage = 104, kProgress = 105, kSelect = 106, kQuestion = 139;
constexpr int kBackupButton = 1007, kRestoreButton = 1003, kYesToAll = 1021, kMessageText = 1010;
constexpr uint8_t kRead10 = 0x28, kWrite10 = 0x2A;
constexpr char16_t kBigFile[] = u"\\My Documents\\Scans\\Survey of plot 14.bin";
constexpr uint32_t kBigBytes = 256 * 1024;
constexpr uint32_t kSmallMediumBlocks = 4096;  // 2 MB: the disk that fills up
// Two stalls' time-outs and the recovery between them fit easily. After a Cancel the
// user-interface thread polls the worker with 100 ms sleeps, each moving the virtual clock at
// once, while the worker finishes its file at the speed of the machine (slow under the
// sanitizers): those runs get a wider bound.
constexpr DWORD kVirtualBound = 5 * 60 * 1000;
constexpr DWORD kVirtualBoundAfterCancel = 2 * 60 * 60 * 1000;
const automation::Limit kRealLimit{60'000};

std::u16string ClosingText(DWORD code) {
    const std::u16string number = platform::Utf16(std::to_string(code));
    switch (code) {
        case 0: return u"Operation Complete";
        case 15: return u"Application Error 15 \nNo Quorva drive found";
        case 112: return u"Application Error 112\nDestination disk full";
        case 2: case 3: case 21: case 29: case 161:
            return u"Application Error " + number + u"\nWrite failed. Make sure disk is inserted into drive.";
        case 5: case 19:
            return u"Application Error " + number + u"\nUnable to write.  Make sure the disk is not write protected.";
        default: return u"Application Error " + number;
    }
}

// The code a closing message names (0 for "Operation Complete"), or -1 when it is no closing
// message that any code gives.
long CodeOf(const std::u16string& text) {
    if (text == u"Operation Complete") return 0;
    const std::u16string prefix = u"Application Error ";
    if (!text.starts_with(prefix)) return -1;
    const long code = std::atol(platform::ToUtf8(text.substr(prefix.size())).c_str());
    return ClosingText(static_cast<DWORD>(code)) == text ? code : -1;
}

using Files = std::map<std::string, std::string>;

Files ReadTree(const fs::path& top) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), top).generic_string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

// fsck.fat -n's lines beyond lost clusters and the two FATs differing.
std::string ComplaintsIn(const std::string& output) {
    std::istringstream lines(output);
    std::string complaints;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with("fsck.fat ") || line.starts_with("Reclaimed ") ||
            line.starts_with("Leaving filesystem unchanged") || line.find(" files, ") != std::string::npos ||
            line.starts_with("Checking we can access") || line.find("unused cluster") != std::string::npos ||
            line.find("FATs differ but appear to be intact") != std::string::npos ||
            line.find("Using first FAT") != std::string::npos) {
            continue;
        }
        complaints += line + "\n";
    }
    return complaints;
}

// fsck.fat -n's complaints beyond lost clusters; "" when there are none. A drive failing
// between the writes of the two FATs leaves them differing, as a cut there does: the first is
// the volume's, and the second must then pass on its own as well.
std::string FsckComplaints(const fs::path& image) {
    const auto run = fat_interop::CheckVolume(image);
    std::string complaints = ComplaintsIn(run.output);
    if (run.output.find("FATs differ") != std::string::npos) {
        const std::string second = ComplaintsIn(fat_interop::CheckVolume(fat_interop::WithSecondFatFirst(image)).output);
        if (!second.empty()) complaints += "the second FAT: " + second;
    }
    return complaints;
}

// Throws the fault at its moment: from the start, or once the copy reaches a file (opened for
// a backup, staged for a restore), either right then or at the n-th data command after.
class Trigger {
public:
    void Arm(std::u16string file, FaultyBackend::Op op, int commandsToSkip, uint8_t opcode, bool atFile,
             std::function<void()> action) {
        std::lock_guard hold(lock_);
        file_ = platform::Folded(file);
        op_ = op;
        skip_ = commandsToSkip;
        opcode_ = opcode;
        atFile_ = atFile;
        armed_ = file_.empty();
        action_ = std::move(action);
    }
    void OnFile(FaultyBackend::Op op, const std::u16string& path) {
        std::function<void()> fire;
        {
            std::lock_guard hold(lock_);
            if (armed_ || fired_ || op != op_ || platform::Folded(path) != file_) return;
            armed_ = true;
            if (atFile_) fire = Take();
        }
        if (fire) fire();
    }
    void OnPacket(const sim::Packet& packet) {
        std::function<void()> fire;
        {
            std::lock_guard hold(lock_);
            if (!armed_ || fired_ || atFile_ || packet[0] != opcode_ || skip_-- > 0) return;
            fire = Take();
        }
        if (fire) fire();
    }
    bool Fired() {
        std::lock_guard hold(lock_);
        return fired_;
    }

private:
    std::function<void()> Take() {
        fired_ = true;
        return std::move(action_);
    }
    std::mutex lock_;
    std::u16string file_;
    FaultyBackend::Op op_ = FaultyBackend::Op::OpenFile;
    int skip_ = 0;
    uint8_t opcode_ = kWrite10;
    bool atFile_ = false, armed_ = false, fired_ = false;
    std::function<void()> action_;
};

// The worker stops where the Cancel falls until the test has pressed it.
class CancelGate {
public:
    void Reach() {
        std::unique_lock hold(lock_);
        reached_ = true;
        changed_.notify_all();
        changed_.wait_for(hold, std::chrono::seconds(30), [&] { return pressed_; });
    }
    bool WaitReached() {
        std::unique_lock hold(lock_);
        return changed_.wait_for(hold, kRealLimit, [&] { return reached_; });
    }
    void Pressed() {
        std::lock_guard hold(lock_);
        pressed_ = true;
        changed_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool reached_ = false, pressed_ = false;
};

struct Outcome {
    std::string text;  // for the table
    bool failed = false;
};

// What the template's first backup recorded: the files in the order the backup opened them,
// and the device's files at the backup (what a restore puts back) and after the edits made
// since (what the device holds when a cell starts).
struct Template {
    fs::path folder;
    std::vector<std::u16string> backupOrder;
    Files backedUp;
    std::vector<std::string> backupFolders;
};

using Table = std::map<std::pair<Fault, Moment>, std::string>;
Template* g_template = nullptr;
Template* g_seeded = nullptr;  // the same with part of the benchmarks' seeded reference tree
Table g_table, g_seededTable;
constexpr size_t kSeededFiles = 300;
// Removed at the program's end, after both suites.
testing_support::TempFolder& Temp() {
    static testing_support::TempFolder folder;
    return folder;
}

HANDLE StartTandel() {
    PROCESS_INFORMATION started{};
    if (!CreateProcess(u"Tandel.exe", u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &started)) {
        return nullptr;
    }
    CloseHandle(started.hThread);
    return started.hProcess;
}

bool Press(HWND dialog, int id) {
    auto control = automation::Control(dialog, id);
    return control && automation::Click(control->window);
}

std::u16string TextOf(HWND dialog, int id) {
    auto control = automation::Control(dialog, id);
    return control ? control->text : std::u16string();
}

// A window that comes up while a copy may be running. The clock moves on in small steps: the
// automation's own waits jump it to the next timer (a whole second of the progress dialog)
// whenever the loops are idle, also in the middle of a short wait of the drive library, which
// then ends as timed out although the drive answered.
std::optional<automation::WindowInfo> AwaitWindow(const std::function<bool(const automation::WindowInfo&)>& match) {
    const auto end = std::chrono::steady_clock::now() + kRealLimit;
    while (std::chrono::steady_clock::now() < end) {
        for (const auto& window : automation::Windows()) {
            if (match(window)) return window;
        }
        automation::AdvanceTime(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
}

// A whole backup that must succeed; its closing message's text.
std::u16string RunCleanBackup() {
    HANDLE process = StartTandel();
    if (!process) return u"(not started)";
    std::u16string text = u"(no closing message)";
    if (auto main = automation::WaitForTemplate(kMain, kRealLimit)) {
        Press(main->window, kBackupButton);
        if (auto message = AwaitWindow([](const automation::WindowInfo& w) { return w.templateId == kMessage; })) {
            text = TextOf(message->window, kMessageText);
            Press(message->window, IDOK);
        }
    }
    WaitForSingleObject(process, 30000);
    CloseHandle(process);
    return text;
}

std::vector<std::string> BackupFolders() {
    std::vector<std::string> names;
    WIN32_FIND_DATA found;
    HANDLE find = FindFirstFile(u"\\Storage\\*.*", &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(platform::ToUtf8(found.cFileName));
    } while (FindNextFile(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<FaultyBackend> BootWithFaultyStore(const fs::path& state) {
    if (!sim::BootHandheld(state).ok) return nullptr;
    auto store = std::make_shared<FaultyBackend>(platform::RootBackend());
    platform::MountRoot(store);
    return store;
}

// Boots the template handheld once: the default device plus a larger file, the package
// installed, a formatted card holding one backup, then every device file edited so that a
// restore's replacements show.
void MakeTemplate(Template& made, bool seeded) {
    platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18, 23, 5));
    made.folder = Temp().Path() / (seeded ? "template-seeded" : "template");
    auto store = BootWithFaultyStore(made.folder);
    ASSERT_TRUE(store);
    if (seeded) {
        auto tree = bench_support::MakeReferenceTree();
        tree.files.resize(kSeededFiles);
        ASSERT_TRUE(bench_support::WriteHostTree(tree, made.folder / "store" / "My Documents"));
    }
    ASSERT_EQ(platform::RunSetupLibrary(u"QVSETUP.DLL", platform::SetupAction::Install).initCode, 0u);
    ASSERT_TRUE(CreateDirectory(u"\\My Documents\\Scans", nullptr));
    std::string big(kBigBytes, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 512);
    ASSERT_TRUE(WriteWholeFile(kBigFile, big));
    ASSERT_TRUE(sim::CreateBlankImage(made.folder / "card.img"));
    sim::UseHandheldProgramLauncher();
    {
        sim::DriveCard card(made.folder / "card.img");
        std::string note;
        ASSERT_EQ(card.Insert(note), "");
        std::mutex lock;
        store->WatchFiles([&](FaultyBackend::Op op, const std::u16string& path) {
            std::lock_guard hold(lock);
            if (op == FaultyBackend::Op::OpenFile) made.backupOrder.push_back(path);
        });
        made.backedUp = ReadTree(made.folder / "store");
        ASSERT_EQ(RunCleanBackup(), u"Operation Complete");
        store->WatchFiles({});
        made.backupFolders = BackupFolders();
        card.Remove();
    }
    ASSERT_GE(made.backupOrder.size(), 4u);
    for (const auto& [name, bytes] : made.backedUp) {
        std::ofstream(made.folder / "store" / name, std::ios::binary | std::ios::trunc) << "edited: " << bytes;
    }
}

class FaultMatrix : public ::testing::TestWithParam<std::pair<Fault, Moment>> {
public:
    static void SetUpTestSuite() {
        g_template = new Template();
        MakeTemplate(*g_template, false);
    }
    static void TearDownTestSuite() {
        PrintTable(g_table, "Fault matrix", TANDEL_FAULT_MATRIX_OUT);
        platform::UseRealClock();
        delete g_template;
    }

protected:
    void Run(Fault fault, Moment moment, const Template& made, Table& table);
    static void PrintTable(const Table& cells, const char* title, const char* file);
};

// A few cells on a larger tree: 300 files of the seeded reference tree in its nested folders.
class SeededFaultMatrix : public FaultMatrix {
public:
    static void SetUpTestSuite() {
        g_seeded = new Template();
        MakeTemplate(*g_seeded, true);
    }
    static void TearDownTestSuite() {
        PrintTable(g_seededTable, "Fault matrix on the seeded tree", TANDEL_FAULT_MATRIX_OUT ".seeded");
        platform::UseRealClock();
        delete g_seeded;
    }
};

// What the fault does when its moment comes; runs on the thread that reached the moment.
std::function<void()> FaultAction(Fault fault, bool reading, sim::DriveCard& card, FaultyBackend& store,
                                  CancelGate& gate) {
    sim::EmulatedDrive& drive = card.drive();
    const uint8_t opcode = reading ? kRead10 : kWrite10;
    switch (fault) {
        case Fault::Pulled: return [&drive] { drive.PullCardAfterAccesses(0); };
        case Fault::Ejected: return [&drive] { drive.EjectMedium(); };
        case Fault::WriteProtected: return [&drive] { drive.SetWriteProtected(true); };
        case Fault::DiskFull:  // a backup's disk is small; a restore's is the device's store
            if (!reading) return [] {};
            return [&store] { store.FailWritesAfter(0); };
        case Fault::MediumError:
            return [&drive, opcode, reading] {
                drive.InjectError({.match = {opcode}, .sense = {3, static_cast<uint8_t>(reading ? 0x11 : 0x0C), 0},
                                   .times = 1000});
            };
        case Fault::HardwareError:
            return [&drive, opcode] { drive.InjectError({.match = {opcode}, .sense = {4, 0x44, 0}, .times = 1000}); };
        case Fault::Stall: return [&drive] { drive.StallAfterBurst(0); };
        case Fault::ShortBurst: return [&drive] { drive.AnnounceZeroCount(0); };
        case Fault::InUse: return [] {};
        case Fault::Cancel: return [&gate] { gate.Reach(); };
    }
    return [] {};
}

// Fills the small medium so that only `room` bytes stay free.
void FillMedium(uint32_t room) {
    std::string chunk(64 * 1024, 'f');
    if (room > 0) WriteWholeFile(u"\\Storage\\room.bin", std::string(room, 'r'));
    HANDLE filler = CreateFile(u"\\Storage\\filler.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    while (WriteFile(filler, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) && written > 0) {
    }
    chunk.resize(512);
    while (WriteFile(filler, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) && written > 0) {
    }
    CloseHandle(filler);
    DeleteFile(u"\\Storage\\room.bin");
}

void FaultMatrix::Run(Fault fault, Moment moment, const Template& made, Table& table) {
    const std::string cell = std::string(Name(fault)) + " / " + Name(moment);
    auto& result = table[{fault, moment}];
    if (*NotApplicable(fault, moment)) {
        result = "n/a";
        GTEST_SKIP() << NotApplicable(fault, moment);
    }
    const bool backup = IsBackup(moment);
    // A folder of its own: a program that outlived its cell must not write into the next one's.
    static int cellNumber = 0;
    const fs::path state = Temp().Path() / ("cell-" + std::to_string(++cellNumber));
    ASSERT_EQ(std::system(("cp -a --sparse=always " + fat_interop::Quoted(made.folder.string()) + " " +
                           fat_interop::Quoted(state.string())).c_str()), 0);
    platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 19, 10, 0));
    auto store = BootWithFaultyStore(state);
    ASSERT_TRUE(store);
    const Files before = ReadTree(state / "store");  // boot renews the help file
    const bool smallMedium = fault == Fault::DiskFull && backup;
    const fs::path image = state / (smallMedium ? "small.img" : "card.img");
    if (smallMedium) {
        ASSERT_TRUE(sim::CreateBlankImage(image, kSmallMediumBlocks));
    }
    sim::DriveCard card(image);
    std::string note;
    ASSERT_EQ(card.Insert(note), "");
    if (smallMedium) FillMedium(moment == Moment::BackupMidFile ? kBigBytes / 2 : 0);

    Trigger trigger;
    CancelGate gate;
    store->WatchFiles([&](FaultyBackend::Op op, const std::u16string& path) { trigger.OnFile(op, path); });
    card.drive().WatchPackets([&](const sim::Packet& packet) { trigger.OnPacket(packet); });
    auto action = FaultAction(fault, !backup, card, *store, gate);
    using Op = FaultyBackend::Op;
    const auto& order = made.backupOrder;
    std::u16string heldPath;
    switch (moment) {
        case Moment::BackupBeforeFirst:
            trigger.Arm(u"", Op::OpenFile, 0, kWrite10, false, action);
            heldPath = order.front();
            break;
        case Moment::BackupMidFile:
            trigger.Arm(kBigFile, Op::OpenFile, 2, kWrite10, false, action);
            break;
        case Moment::BackupBetweenFiles:
            trigger.Arm(order[1], Op::OpenFile, 0, kWrite10, true, action);
            heldPath = order[1];
            break;
        case Moment::BackupLastFile:
            trigger.Arm(order.back(), Op::OpenFile, 0, kWrite10, fault == Fault::Cancel, action);
            heldPath = order.back();
            break;
        case Moment::RestoreMidFile:
            trigger.Arm(kBigFile, Op::StageFile, 1, kRead10, false, action);
            break;
        default:
            break;  // the user-interface moments act from the test's thread
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    auto holdOpen = [&](const std::u16string& path) {
        held = CreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(held, INVALID_HANDLE_VALUE);
    };
    if (fault == Fault::InUse && backup) holdOpen(heldPath);


    const DWORD start = GetTickCount();
    HANDLE process = StartTandel();
    ASSERT_NE(process, nullptr);
    auto main = automation::WaitForTemplate(kMain, kRealLimit);
    ASSERT_TRUE(main);
    Press(main->window, backup ? kBackupButton : kRestoreButton);
    std::atomic<bool> cancelled{false};
    // By message: a question may cover the progress dialog, and a tap would land on it.
    auto pressCancelOnProgress = [&] {
        auto progress = automation::WaitForTemplate(kProgress, kRealLimit);
        ASSERT_TRUE(progress);
        auto button = automation::Control(progress->window, IDCANCEL);
        ASSERT_TRUE(button);
        PostMessage(button->window, BM_CLICK, 0, 0);
        EXPECT_TRUE(automation::WaitGone(progress->window, kRealLimit));
        cancelled = true;
    };
    if (!backup) {
        auto select = automation::WaitForTemplate(kSelect, kRealLimit);
        ASSERT_TRUE(select);
        if (moment == Moment::RestoreAtSelection) {
            if (fault == Fault::Cancel) {
                Press(select->window, IDCANCEL);
                cancelled = true;
            } else if (fault == Fault::InUse) {
                holdOpen(u"\\My Documents\\Shopping.txt");
            } else {
                action();
            }
        }
        if (!cancelled) Press(select->window, IDOK);
    }
    // The Cancel at a moment of the copy is pressed from a thread of its own, so the questions
    // before it are still answered.
    std::thread canceller;
    if (fault == Fault::Cancel && moment != Moment::RestoreAtSelection && moment != Moment::RestoreAtQuestion) {
        canceller = std::thread([&] {
            EXPECT_TRUE(gate.WaitReached()) << "the copy never reached the Cancel's moment";
            pressCancelOnProgress();
            gate.Pressed();
        });
    }
    // Answer the questions (the first one carries the question's fault) until the run ends.
    std::u16string closing;
    bool gotMessage = false;
    HWND lastQuestion = nullptr;
    for (;;) {
        auto next = AwaitWindow([&](const automation::WindowInfo& w) {
            return w.templateId == kMessage || (w.templateId == kQuestion && w.window != lastQuestion) ||
                   (w.templateId == kMain && w.window != main->window);
        });
        if (!next) {
            // Nothing more came up: end what is still shown and take the card, so the program
            // can end and the next cell starts clean.
            ADD_FAILURE() << cell << ": the run did not end";
            result = "HANG";
            gate.Pressed();
            if (canceller.joinable()) canceller.join();
            for (const auto& window : automation::Windows()) EndDialog(window.window, IDCANCEL);
            card.Pull();
            WaitForSingleObject(process, 30000);
            CloseHandle(process);
            return;
        }
        if (next->templateId == kQuestion) {
            automation::Settle();
            if (moment == Moment::RestoreAtQuestion && lastQuestion == nullptr) {
                if (fault == Fault::Cancel) {
                    pressCancelOnProgress();
                } else if (fault == Fault::InUse) {
                    std::u16string asked = TextOf(next->window, 1006);
                    holdOpen(asked.substr(0, asked.find(u" already exist")));
                } else {
                    action();
                }
            }
            lastQuestion = next->window;
            // By message: the progress dialog may have come up over the question.
            if (auto button = automation::Control(next->window, kYesToAll)) {
                PostMessage(button->window, BM_CLICK, 0, 0);
            }
            continue;
        }
        if (next->templateId == kMessage) {
            gotMessage = true;
            closing = TextOf(next->window, kMessageText);
            Press(next->window, IDOK);
        } else {
            Press(next->window, IDCANCEL);  // back at the main dialog after a Cancel: leave
        }
        break;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (canceller.joinable()) canceller.join();
    EXPECT_EQ(WaitForSingleObject(process, 30000), static_cast<DWORD>(WAIT_OBJECT_0)) << cell << ": no end";
    CloseHandle(process);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    store->WatchFiles({});
    card.drive().WatchPackets({});
    store->Clear();

    // The closing message.
    const long code = gotMessage ? CodeOf(closing) : -1;
    // Open findings (docs/fault-matrix.md) are marked in the table instead of failing the run:
    // a message after a Cancel pressed while a question is up.
    if (fault == Fault::Cancel) {
        if (moment != Moment::RestoreAtQuestion) {
            EXPECT_FALSE(gotMessage) << cell << ": a message after Cancel: " << platform::ToUtf8(closing);
        }
    } else {
        EXPECT_TRUE(gotMessage) << cell;
        EXPECT_GE(code, 0) << cell << ": not a closing message: " << platform::ToUtf8(closing);
        // The drive library's own codes (0xFF00 and up) stay below the file system.
        EXPECT_LT(code, 0xFF00) << cell << ": a driver's code reached the user";
    }
    if (fault == Fault::InUse) {
        EXPECT_EQ(code, 0) << cell << ": a file in use is skipped";
    }
    const bool mustFail = fault == Fault::Pulled || fault == Fault::Ejected || fault == Fault::DiskFull ||
                          fault == Fault::MediumError || fault == Fault::HardwareError ||
                          (fault == Fault::WriteProtected && backup);
    if (mustFail) {
        EXPECT_GT(code, 0) << cell << ": the fault was reported as success";
    }
    EXPECT_LE(elapsed, fault == Fault::Cancel ? kVirtualBoundAfterCancel : kVirtualBound) << cell;
    const bool momentCame = fault == Fault::InUse || fault == Fault::DiskFull || moment == Moment::RestoreAtSelection ||
                            moment == Moment::RestoreAtQuestion || trigger.Fired() || cancelled;

    // The device's files: each as it was, or wholly the backup's copy after a restore.
    const Files after = ReadTree(state / "store");
    std::string stray;
    for (const auto& [name, bytes] : after) {
        if (name.starts_with("Storage/")) continue;  // a backup that lost the card, noted below
        if (!before.contains(name)) stray += name + " ";
    }
    EXPECT_EQ(stray, "") << cell << ": files the run left on the device";
    for (const auto& [name, bytes] : before) {
        auto found = after.find(name);
        ASSERT_NE(found, after.end()) << cell << ": lost " << name;
        const bool asBefore = found->second == bytes;
        const bool replaced = !backup && made.backedUp.contains(name) && found->second == made.backedUp.at(name);
        EXPECT_TRUE(asBefore || replaced) << cell << ": " << name << " is neither as before nor replaced";
    }
    const bool strayStorage = fs::exists(state / "store" / "Storage");

    // A cancelled backup took its own folder with it.
    if (fault == Fault::Cancel && backup) {
        EXPECT_EQ(BackupFolders(), made.backupFolders) << cell << ": the cancelled backup's folder stayed";
    }

    // The medium as a PC sees it, then the card in again and a new backup.
    card.Remove();
    card.drive().SetWriteProtected(false);
    card.drive().InjectError({.match = {}, .sense = {}, .times = 0});
    if (!card.drive().HasMedium()) {
        ASSERT_TRUE(card.drive().InsertMedium(image));
    }
    std::string fsck = fat_interop::HaveTool("fsck.fat") ? FsckComplaints(image) : "";
    EXPECT_EQ(fsck, "") << cell << ": fsck.fat -n found more than lost clusters";
    automation::AdvanceTime(60'000);  // a new minute: a backup folder of its own
    ASSERT_EQ(card.Insert(note), "");
    if (smallMedium) DeleteFile(u"\\Storage\\filler.bin");
    const std::u16string again = RunCleanBackup();
    // An open finding: now and then the first backup after re-inserting ends with 21.
    if (again != u"Operation Complete") {
        std::printf("FINDING %s: the backup after re-inserting the card: %s\n", cell.c_str(),
                    platform::ToUtf8(again).c_str());
    }
    card.Remove();

    std::ostringstream outcome;
    if (fault == Fault::Cancel) {
        outcome << (gotMessage ? "message!" : "no message");
    } else {
        outcome << (code == 0 ? "Complete" : code > 0 ? "Error " + std::to_string(code) : "bad message");
    }
    outcome << ", " << elapsed / 1000 << " s";
    if (strayStorage) outcome << ", \\Storage in store";
    if (!fsck.empty()) outcome << ", fsck!";
    if (again != u"Operation Complete") outcome << ", FINDING: new backup " << platform::ToUtf8(again.substr(0, again.find(u'\n')));
    if (!momentCame) outcome << ", (moment not reached)";
    if (fault == Fault::Cancel && gotMessage) outcome << ", FINDING";
    result = outcome.str();
}

void FaultMatrix::PrintTable(const Table& cells, const char* title, const char* file) {
    std::ostringstream table;
    table << "| fault |";
    for (Moment moment : kMoments) table << " " << Name(moment) << " |";
    table << "\n|---|";
    for (size_t i = 0; i < std::size(kMoments); ++i) table << "---|";
    table << "\n";
    for (Fault fault : kFaults) {
        table << "| " << Name(fault) << " |";
        for (Moment moment : kMoments) {
            auto found = cells.find({fault, moment});
            table << " " << (found == cells.end() ? "(not run)" : found->second) << " |";
        }
        table << "\n";
    }
    table << "\nn/a:\n";
    for (Fault fault : kFaults) {
        for (Moment moment : kMoments) {
            if (*NotApplicable(fault, moment)) {
                table << "- " << Name(fault) << " / " << Name(moment) << ": " << NotApplicable(fault, moment) << "\n";
            }
        }
    }
    std::printf("\n%s (closing message, virtual time to it):\n%s\n", title, table.str().c_str());
    std::ofstream(file) << table.str();
}

TEST_P(FaultMatrix, EndsCleanlyAndLosesNothing) {
    Run(GetParam().first, GetParam().second, *g_template, g_table);
}
TEST_P(SeededFaultMatrix, EndsCleanlyAndLosesNothing) {
    Run(GetParam().first, GetParam().second, *g_seeded, g_seededTable);
}

std::vector<std::pair<Fault, Moment>> AllCells() {
    std::vector<std::pair<Fault, Moment>> cells;
    for (Fault fault : kFaults) {
        for (Moment moment : kMoments) cells.emplace_back(fault, moment);
    }
    return cells;
}

std::string CellName(const ::testing::TestParamInfo<std::pair<Fault, Moment>>& info) {
    std::string name = std::string(Name(info.param.first)) + "_" + Name(info.param.second);
    std::string clean;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) clean += c;
        else if (!clean.empty() && clean.back() != '_') clean += '_';
    }
    while (!clean.empty() && clean.back() == '_') clean.pop_back();
    return clean;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(AllCells()), CellName);
INSTANTIATE_TEST_SUITE_P(Cells, SeededFaultMatrix,
                         ::testing::Values(std::pair{Fault::Pulled, Moment::BackupMidFile},
                                           std::pair{Fault::Cancel, Moment::BackupBetweenFiles},
                                           std::pair{Fault::MediumError, Moment::BackupLastFile},
                                           std::pair{Fault::Stall, Moment::RestoreMidFile},
                                           std::pair{Fault::Ejected, Moment::RestoreAtQuestion}),
                         CellName);

}  // namespace
}  // namespace fault_matrix
