#include "program_session.h"

#include <platform/ui/automation.h>
#include <platform/ui/presenter.h>
#include <platform/ui/script.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <ostream>
#include <thread>

namespace sim {
namespace {

namespace automation = platform::ui::automation;

constexpr auto kProgram = u"Tandel.exe";

// The backup program, started as the handheld starts its programs.
class RunningProgram {
public:
    RunningProgram() {
        PROCESS_INFORMATION started{};
        if (!CreateProcess(kProgram, u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &started)) {
            error_ = "cannot start Tandel.exe (error " + std::to_string(GetLastError()) + ")";
            return;
        }
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }
    ~RunningProgram() {
        if (process_) CloseHandle(process_);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    const std::string& Error() const { return error_; }
    bool Ended() const { return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        if (process_) GetExitCodeProcess(process_, &code);
        return code;
    }

    // The session is over: Cancel in whatever it shows, as the person would press it, so a
    // running job stops the way it always stops and nothing is lost. A program that does not
    // answer has its windows ended.
    void End() {
        auto ended = [this] { return Ended(); };
        if (automation::CancelUntilEnded(ended)) return;
        for (int attempt = 0; attempt < 100 && !Ended(); ++attempt) {
            for (const auto& window : automation::Windows()) EndDialog(window.window, IDCANCEL);
            WaitForSingleObject(process_, 50);
        }
    }

private:
    HANDLE process_ = nullptr;
    std::string error_;
};

// Prints every window shown while it lives.
class ShownWindowLog {
public:
    explicit ShownWindowLog(automation::ScriptLog& log) {
        automation::SetWindowShownObserver(
            [&log](const automation::WindowInfo& window) { log.Write(automation::DescribeWindow(window)); });
    }
    ~ShownWindowLog() { automation::SetWindowShownObserver(nullptr); }
};

}  // namespace

int RunWindowSession(const std::string& scriptPath, std::ostream& out) {
    automation::ScriptLog log(out);
    ShownWindowLog shownWindows(log);
    RunningProgram program;
    if (!program.Error().empty()) {
        log.Write("handheld: " + program.Error() + "\n");
        return 1;
    }
    auto ended = [&] { return program.Ended(); };
    std::atomic<bool> scriptFailed{false};
    std::thread script;
    if (!scriptPath.empty()) {
        script = std::thread([&] {
            std::ifstream in(scriptPath);
            const auto outcome = automation::RunScript(in, scriptPath, log, ended);
            if (!outcome.ok) {
                log.Write("script failed: " + outcome.failure + "\n");
                scriptFailed = true;
            }
        });
    }
    const auto shown = platform::ui::RunWindowPresenter([&] { return !ended() && !scriptFailed; });
    if (!shown.error.empty()) log.Write("handheld: " + shown.error + "\n");
    if (shown.closed) log.Write("The window was closed: the session ends.\n");
    program.End();
    if (script.joinable()) script.join();
    log.Write("  Tandel.exe ended with " + std::to_string(program.ExitCode()) + "\n");
    if (!shown.error.empty()) return 3;
    return scriptFailed ? 1 : 0;
}

int RunTerminalSession(std::istream& in, std::ostream& out) {
    RunningProgram program;
    if (!program.Error().empty()) {
        out << "handheld: " << program.Error() << "\n";
        return 1;
    }
    auto ended = [&] { return program.Ended(); };
    platform::ui::RunTerminalPresenter(ended, in, out);
    program.End();
    out << "Tandel.exe ended with " << program.ExitCode() << "\n";
    return 0;
}

}  // namespace sim
