#include "launcher_script.h"

#include <platform/text.h>
#include <platform/ui/automation.h>
#include <platform/ui/script.h>
#include <windows.h>

#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <vector>

namespace sim {
namespace {

namespace automation = platform::ui::automation;

constexpr DWORD kEndWaitMs = 5000;

struct Part {
    int firstLine = 0;
    std::string launcherLine;
    std::string script;  // the automation lines after a `run` line
};

std::string Word(const std::string& line, size_t index) {
    std::istringstream words(line);
    std::string word;
    for (size_t i = 0; i <= index; ++i) {
        if (!(words >> word)) return {};
    }
    return word;
}

bool IsLauncherLine(const std::string& line) {
    const std::string first = Word(line, 0);
    return first == "insert-card" || first == "remove-card" || first == "pull-card" ||
           first == "pull-card-after" || first == "run";
}

// Blank lines keep their place, so a failure's line number is the script file's.
std::vector<Part> SplitParts(std::istream& in) {
    std::vector<Part> parts;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (IsLauncherLine(line)) {
            parts.push_back(Part{number, line, std::string(static_cast<size_t>(number), '\n')});
        } else if (!parts.empty()) {
            parts.back().script += line + "\n";
        } else if (!Word(line, 0).empty() && Word(line, 0)[0] != '#') {
            parts.push_back(Part{number, "", std::string(static_cast<size_t>(number - 1), '\n') + line + "\n"});
        }
    }
    return parts;
}

std::string Quoted(const std::u16string& text) {
    std::string out = "\"";
    for (char c : platform::ToUtf8(text)) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out + "\"";
}

class Runner {
public:
    Runner(const std::string& name, Card& card, std::ostream& log) : name_(name), card_(card), log_(log) {
        automation::SetWindowShownObserver([this](const automation::WindowInfo& window) { Print(window); });
    }
    ~Runner() { automation::SetWindowShownObserver(nullptr); }

    bool Do(const Part& part) {
        Say("> " + part.launcherLine + "\n");
        if (Word(part.launcherLine, 0) == "run") return Run(part);
        if (part.launcherLine.empty()) return Check(part, "the script's actions need a program: start it with run");
        return Check(part, CardAction(part.launcherLine));
    }

private:
    // "" or why the card action failed.
    std::string CardAction(const std::string& line) {
        const std::string action = Word(line, 0);
        if (action == "insert-card") {
            std::string note;
            std::string error = card_.Insert(note);
            if (!note.empty()) Say("  " + note + "\n");
            return error;
        }
        if (action == "remove-card") {
            card_.Remove();
            return "";
        }
        if (action == "pull-card") {
            card_.Pull();
            return "";
        }
        if (action == "pull-card-after") {
            const std::string count = Word(line, 1);
            if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) {
                return "pull-card-after needs a number of register accesses";
            }
            return card_.PullAfterAccesses(static_cast<unsigned>(std::stoul(count)));
        }
        if (action == "tap-window") return TapWindow(Word(line, 1));
        return "unknown action: " + action;
    }

    // A window that came up behind another (the restore's question behind the progress dialog
    // that its user-interface thread showed a moment later) is brought forward as a user does:
    // a tap on its edge.
    std::string TapWindow(const std::string& templateId) {
        if (templateId.empty() || templateId.find_first_not_of("0123456789") != std::string::npos) {
            return "tap-window needs a template id";
        }
        const int id = std::stoi(templateId);
        automation::Settle();
        for (const auto& window : automation::Windows()) {
            if (window.templateId != id) continue;
            if (!window.active) automation::ClickPoint(POINT{window.rect.left + 3, window.rect.top + 3});
            const HWND target = window.window;
            if (automation::WaitUntil([target] {
                    auto now = automation::Window(target);
                    return now && now->active;
                })) {
                return "";
            }
            return "the window of template " + templateId + " did not come forward";
        }
        return "no window of template " + templateId + " is shown";
    }

    // The automation script of a run, cut at its `! ACTION` lines; line numbers stay the file's.
    struct Segment {
        std::string script;
        std::string action;  // run after the segment, "" for the last
        int actionLine = 0;
    };
    static std::vector<Segment> Segments(const std::string& script) {
        std::vector<Segment> segments(1);
        std::istringstream lines(script);
        std::string line;
        for (int number = 1; std::getline(lines, line); ++number) {
            const size_t start = line.find_first_not_of(" \t");
            if (start != std::string::npos && line[start] == '!') {
                segments.back().action = line.substr(start + 1);
                segments.back().actionLine = number;
                segments.push_back(Segment{std::string(static_cast<size_t>(number), '\n'), "", 0});
            } else {
                segments.back().script += line + "\n";
            }
        }
        return segments;
    }

    bool Run(const Part& part) {
        const std::string program = Word(part.launcherLine, 1);
        const size_t start = part.launcherLine.find(program) + program.size();
        const std::u16string commandLine = platform::Utf16(start < part.launcherLine.size() ? part.launcherLine.substr(start + 1) : "");
        PROCESS_INFORMATION started{};
        if (!CreateProcess(platform::Utf16(program).c_str(), commandLine.c_str(), nullptr, nullptr, FALSE, 0,
                           nullptr, nullptr, nullptr, &started)) {
            return Check(part, "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")");
        }
        CloseHandle(started.hThread);
        auto ended = [&] { return WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0; };
        automation::ScriptOutcome outcome;
        for (const Segment& segment : Segments(part.script)) {
            std::istringstream script(segment.script);
            outcome = automation::RunScript(script, name_, log_, ended);
            if (!outcome.ok || segment.action.empty()) break;
            Say(">" + segment.action + "\n");
            if (std::string error = CardAction(segment.action); !error.empty()) {
                outcome = {false, name_ + ":" + std::to_string(segment.actionLine) + ": " + error};
                break;
            }
        }
        if (outcome.ok && WaitForSingleObject(started.hProcess, kEndWaitMs) != WAIT_OBJECT_0) {
            outcome = {false, name_ + ":" + std::to_string(part.firstLine) + ": " + program + " did not end"};
        }
        if (!outcome.ok) {
            // Whatever the program still shows is cancelled, so that its thread can finish.
            for (int attempt = 0; attempt < 100 && !ended(); ++attempt) {
                for (const auto& window : automation::Windows()) EndDialog(window.window, IDCANCEL);
                WaitForSingleObject(started.hProcess, 50);
            }
        }
        DWORD code = 0;
        GetExitCodeProcess(started.hProcess, &code);
        CloseHandle(started.hProcess);
        if (outcome.ok) Say("  " + program + " ended with " + std::to_string(code) + "\n");
        return Check(part, outcome.ok ? "" : outcome.failure, false);
    }

    bool Check(const Part& part, const std::string& error, bool withLine = true) {
        if (error.empty()) return true;
        Say("script failed: " + (withLine ? name_ + ":" + std::to_string(part.firstLine) + ": " : "") + error + "\n");
        return false;
    }

    void Print(const automation::WindowInfo& window) {
        std::string text = "shown: " + Quoted(window.title);
        text += window.templateId ? " (template " + std::to_string(window.templateId) + ")\n" : " (message box)\n";
        for (const auto& control : automation::Controls(window.window)) {
            text += "  " + std::to_string(control.id) + " " + platform::ToUtf8(control.className) + " " +
                    Quoted(control.text) + "\n";
        }
        Say(text);
    }

    void Say(const std::string& text) {
        std::lock_guard lock(mutex_);
        log_ << text << std::flush;
    }

    std::string name_;
    Card& card_;
    std::ostream& log_;
    std::mutex mutex_;
};

}  // namespace

int RunLauncherScript(const std::string& scriptPath, Card& card, std::ostream& log) {
    std::ifstream in(scriptPath);
    if (!in) {
        log << scriptPath << ": cannot be read\n";
        return 2;
    }
    Runner runner(scriptPath, card, log);
    for (const Part& part : SplitParts(in)) {
        if (!runner.Do(part)) return 1;
    }
    return 0;
}

}  // namespace sim
