// Running automation scripts: each line is one user action against the front window.
#include <platform/ui/automation.h>
#include <platform/ui/script.h>
#include <platform/text.h>

#include "script_lexer.h"

#include <charconv>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <ostream>
#include <thread>

namespace platform::ui::automation {
namespace {

struct Failure {
    std::string what;
};

struct Line {
    std::vector<std::string> words;
    const std::string& action() const { return words.front(); }
};

const std::string& Argument(const Line& line, size_t index, const char* what) {
    if (line.words.size() <= index) throw Failure{line.action() + ": missing " + what};
    return line.words[index];
}

std::optional<long> Number(const std::string& text) {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

long NumberArgument(const Line& line, size_t index, const char* what) {
    const std::string& text = Argument(line, index, what);
    auto value = Number(text);
    if (!value || *value < 0) throw Failure{line.action() + ": " + what + " is not a number: " + text};
    return *value;
}

// "within MS" after the arguments, else the default limit.
Limit LimitOf(const Line& line, size_t index) {
    if (line.words.size() <= index) return kDefaultLimit;
    if (line.words[index] != "within") throw Failure{line.action() + ": unexpected '" + line.words[index] + "'"};
    return Limit(NumberArgument(line, index + 1, "the limit in milliseconds"));
}

std::string Utf8(std::u16string_view text) { return platform::ToUtf8(text); }

std::string Quoted(std::u16string_view text) { return "\"" + Utf8(text) + "\""; }

WindowInfo FrontWindow(const Line& line) {
    auto windows = Windows();
    if (windows.empty()) throw Failure{line.action() + ": no window is shown"};
    return windows.front();
}

ControlInfo FindControl(const Line& line, const WindowInfo& window, const std::string& which) {
    std::optional<ControlInfo> control;
    if (auto id = Number(which)) {
        control = Control(window.window, static_cast<int>(*id));
    } else {
        control = ControlByText(window.window, platform::Utf16(which));
    }
    if (!control) {
        throw Failure{line.action() + ": no control " + which + " in " + Quoted(window.title)};
    }
    return *control;
}

UINT KeyCode(const std::string& name) {
    static const std::map<std::string, UINT> named = {
        {"Enter", VK_RETURN}, {"Return", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Esc", VK_ESCAPE},
        {"Tab", VK_TAB},      {"Space", VK_SPACE},   {"Up", VK_UP},         {"Down", VK_DOWN},
        {"Left", VK_LEFT},    {"Right", VK_RIGHT},   {"F1", VK_F1},         {"F4", VK_F4},
        {"Backspace", VK_BACK}, {"Home", VK_HOME},   {"End", VK_END}};
    if (auto found = named.find(name); found != named.end()) return found->second;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        return static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[0])));
    }
    return 0;
}

void DoKey(const Line& line) {
    std::string chord = Argument(line, 1, "the key");
    uint8_t modifiers = kNone;
    for (size_t plus; (plus = chord.find('+')) != std::string::npos && plus + 1 < chord.size();) {
        const std::string modifier = chord.substr(0, plus);
        if (modifier == "Alt") modifiers |= kAlt;
        else if (modifier == "Shift") modifiers |= kShift;
        else if (modifier == "Ctrl") modifiers |= kControl;
        else throw Failure{"key: unknown modifier '" + modifier + "'"};
        chord = chord.substr(plus + 1);
    }
    const UINT key = KeyCode(chord);
    if (key == 0) throw Failure{"key: unknown key '" + chord + "'"};
    if (!PressKey(key, modifiers)) throw Failure{"key: no window is shown to take it"};
}

void DoWait(const Line& line, bool gone, const std::function<bool()>& programEnded) {
    const std::string& kind = Argument(line, 1, "what to wait for (title or template)");
    const std::string& value = Argument(line, 2, kind == "template" ? "the template id" : "the title");
    const Limit limit = LimitOf(line, 3);
    std::function<bool(const WindowInfo&)> match;
    if (kind == "title") {
        const std::u16string title = platform::Utf16(value);
        match = [title](const WindowInfo& w) { return w.title == title; };
    } else if (kind == "template") {
        const long id = NumberArgument(line, 2, "the template id");
        match = [id](const WindowInfo& w) { return w.templateId == id; };
    } else {
        throw Failure{line.action() + ": wait for a title or a template, not '" + kind + "'"};
    }
    auto present = [&] {
        for (const auto& w : Windows()) {
            if (match(w)) return true;
        }
        return false;
    };
    // A program that has ended shows nothing more: no use waiting out the limit.
    const bool done = WaitUntil([&] { return present() != gone || programEnded(); }, limit) && present() != gone;
    if (!done) {
        std::string shown;
        for (const auto& w : Windows()) shown += (shown.empty() ? "" : ", ") + Quoted(w.title);
        throw Failure{line.action() + ": expected " + kind + " " + value + (gone ? " to go" : "") +
                      " within " + std::to_string(limit.count()) + " ms, shown: " +
                      (shown.empty() ? "no window" : shown)};
    }
}

void DoExpect(const Line& line) {
    const std::string& which = Argument(line, 1, "the control (an id, a caption or 'title')");
    const std::string& expected = Argument(line, 2, "the expected text");
    Settle();
    const WindowInfo front = FrontWindow(line);
    const std::u16string shown =
        which == "title" ? front.title : FindControl(line, front, which).text;
    if (shown != platform::Utf16(expected)) {
        throw Failure{"expect " + which + ": expected \"" + expected + "\", shown " + Quoted(shown)};
    }
}

// The action as the script says it, without its comment.
std::string Echo(const std::vector<std::string>& words) {
    std::string echo;
    for (const auto& word : words) {
        if (!echo.empty()) echo += ' ';
        const bool quote = word.empty() || word.find_first_of(" \t\"\\#") != std::string::npos;
        if (!quote) {
            echo += word;
            continue;
        }
        echo += '"';
        for (char c : word) echo += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
        echo += '"';
    }
    return echo;
}

void Execute(const Line& line, ScriptLog& log, const std::function<bool()>& programEnded) {
    const std::string& action = line.action();
    if (action == "wait") return DoWait(line, false, programEnded);
    if (action == "gone") return DoWait(line, true, programEnded);
    if (action == "key") return DoKey(line);
    if (action == "expect") return DoExpect(line);
    if (action == "press") {
        const std::string& which = Argument(line, 1, "the control (an id or a caption)");
        Settle();
        const WindowInfo front = FrontWindow(line);
        if (!Click(FindControl(line, front, which).window)) throw Failure{"press: " + which + " did not take the tap"};
        return;
    }
    if (action == "close") {
        Settle();
        const WindowInfo front = FrontWindow(line);
        if (!ClickCloseBox(front.window)) throw Failure{"close: " + Quoted(front.title) + " has no close box"};
        return;
    }
    if (action == "snapshot") {
        const std::string& file = Argument(line, 1, "the file name");
        Settle();
        if (auto error = Snapshot(file); !error.empty()) throw Failure{"snapshot: " + error};
        log.Write("  written " + file + "\n");
        return;
    }
    if (action == "advance") {
        AdvanceTime(static_cast<DWORD>(NumberArgument(line, 1, "the milliseconds")));
        return;
    }
    if (action == "end") {
        const Limit limit = LimitOf(line, 1);
        if (!WaitUntil(programEnded, limit)) {
            throw Failure{"end: expected the program to end within " + std::to_string(limit.count()) +
                          " ms, shown: " + (Windows().empty() ? "no window" : Quoted(Windows().front().title))};
        }
        return;
    }
    throw Failure{"unknown action '" + action + "'"};
}

}  // namespace

void ScriptLog::Write(const std::string& text) {
    std::lock_guard lock(mutex_);
    out_ << text << std::flush;
}

ScriptOutcome RunScript(std::istream& script, const std::string& name, ScriptLog& log,
                        const std::function<bool()>& programEnded) {
    std::string text;
    for (int number = 1; std::getline(script, text); ++number) {
        auto words = detail::SplitScriptLine(text);
        const std::string where = name + ":" + std::to_string(number) + ": ";
        if (!words) return {false, where + "a quoted text is not closed"};
        if (words->empty()) continue;
        // The action first, then whatever it causes (the windows it brings up).
        log.Write("> " + Echo(*words) + "\n");
        try {
            Execute(Line{*words}, log, programEnded);
        } catch (const Failure& failure) {
            return {false, where + failure.what};
        }
    }
    return {};
}

int RunProgramUnderScript(const std::function<int()>& program, const std::string& scriptPath,
                          std::ostream& log) {
    std::ifstream script(scriptPath);
    if (!script) {
        log << scriptPath << ": cannot be read\n";
        return 2;
    }
    ScriptLog scriptLog(log);
    SetWindowShownObserver([&](const WindowInfo& window) { scriptLog.Write(DescribeWindow(window)); });
    std::promise<int> exit;
    auto exitCode = exit.get_future();
    std::thread ui([&] { exit.set_value(program()); });
    auto ended = [&] { return exitCode.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
    ScriptOutcome outcome = RunScript(script, scriptPath, scriptLog, ended);
    if (outcome.ok && !WaitUntil(ended, Limit(5000))) outcome = {false, scriptPath + ": the program did not end after the script"};
    if (!outcome.ok) {
        scriptLog.Write("script failed: " + outcome.failure + "\n");
        // Ends whatever the program still shows, so its thread can finish.
        for (int attempt = 0; attempt < 100 && !ended(); ++attempt) {
            for (const auto& window : Windows()) EndDialog(window.window, IDCANCEL);
            WaitUntil(ended, Limit(50));
        }
    }
    if (ended()) {
        ui.join();
    } else {
        ui.detach();
    }
    SetWindowShownObserver(nullptr);
    return outcome.ok ? 0 : 1;
}

}  // namespace platform::ui::automation
