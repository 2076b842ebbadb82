// Scripts of user actions, and the log of the dialogs a run shows.
#include <platform/text.h>
#include <platform/ui/automation.h>
#include <winuser.h>

#include <cctype>
#include <istream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "../windows/window_system.h"

namespace platform::ui::automation {
namespace {

constexpr int kWaitMs = 10000;

std::string Escaped(const std::u16string& text) {
    std::string out;
    for (char c : platform::ToUtf8(text)) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::u16string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return platform::Utf16(out);
}

bool IsNumber(const std::string& text) {
    if (text.empty()) return false;
    size_t start = text[0] == '-' ? 1 : 0;
    return start < text.size() && text.find_first_not_of("0123456789", start) == std::string::npos;
}

struct KeyName {
    const char* name;
    UINT key;
};
constexpr KeyName kKeys[] = {{"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Tab", VK_TAB},
                             {"Space", VK_SPACE},  {"Left", VK_LEFT},     {"Right", VK_RIGHT},
                             {"Up", VK_UP},        {"Down", VK_DOWN}};

bool ParseKey(std::string text, UINT& key, uint8_t& modifiers) {
    modifiers = 0;
    for (;;) {
        if (text.rfind("Alt+", 0) == 0) { modifiers |= kModAlt; text.erase(0, 4); continue; }
        if (text.rfind("Shift+", 0) == 0) { modifiers |= kModShift; text.erase(0, 6); continue; }
        if (text.rfind("Ctrl+", 0) == 0) { modifiers |= kModControl; text.erase(0, 5); continue; }
        break;
    }
    for (const KeyName& k : kKeys) {
        if (text == k.name) { key = k.key; return true; }
    }
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0]))) {
        key = static_cast<UINT>(std::toupper(static_cast<unsigned char>(text[0])));
        return true;
    }
    return false;
}

std::string StripMnemonic(const std::u16string& text) {
    std::string out;
    for (char c : platform::ToUtf8(text)) {
        if (c != '&') out += c;
    }
    return out;
}

class ScriptRun {
public:
    ScriptRun(std::ostream& log, const ScriptHooks& hooks) : log_(log), hooks_(hooks) {}

    std::string Do(const std::string& command, const std::string& argument) {
        if (hooks_.extra) {
            if (auto handled = hooks_.extra(command, argument)) return *handled;
        }
        if (command == "wait-dialog") return WaitDialog(argument);
        if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argument)));
            return "";
        }
        auto front = Front();
        if (!front) return "no dialog on the screen";
        if (command == "expect-text") return ExpectText(*front, argument);
        if (command == "press") return Press(*front, argument);
        if (command == "key") return Key(*front, argument);
        if (command == "close") return ClickCloseBox(front->window) ? "" : "the dialog has no close box";
        if (command == "snapshot") {
            const std::filesystem::path file = hooks_.snapshotFolder / argument;
            const std::string error = Snapshot(file);
            if (error.empty()) log_ << "  snapshot written to " << file.string() << "\n";
            return error;
        }
        return "unknown command '" + command + "'";
    }

private:
    std::optional<DialogInfo> Front() {
        return WaitForDialog([](const DialogInfo&) { return true; }, kWaitMs);
    }

    std::string WaitDialog(const std::string& what) {
        std::function<bool(const DialogInfo&)> want;
        if (what == "message-box") {
            want = [](const DialogInfo& d) { return d.messageBox; };
        } else if (IsNumber(what)) {
            want = [id = std::stoi(what)](const DialogInfo& d) { return d.templateId == id; };
        } else {
            want = [title = platform::Utf16(what)](const DialogInfo& d) { return d.title == title; };
        }
        return WaitForDialog(want, kWaitMs) ? "" : "no dialog '" + what + "' came up";
    }

    std::string ExpectText(const DialogInfo& dialog, const std::string& argument) {
        const size_t space = argument.find(' ');
        const std::string idText = argument.substr(0, space);
        const std::u16string want = Unescaped(space == std::string::npos ? "" : argument.substr(space + 1));
        if (!IsNumber(idText)) return "expect-text needs a control id";
        const ControlInfo* control = dialog.Control(std::stoi(idText));
        if (!control) return "no control " + idText;
        if (control->text != want) return "control " + idText + " shows \"" + Escaped(control->text) + "\"";
        return "";
    }

    std::string Press(const DialogInfo& dialog, const std::string& target) {
        if (IsNumber(target)) return Click(dialog.window, std::stoi(target)) ? "" : "no control " + target;
        for (const ControlInfo& control : dialog.controls) {
            if (StripMnemonic(control.text) == target) {
                return Click(dialog.window, control.id) ? "" : "cannot press " + target;
            }
        }
        return "no button '" + target + "'";
    }

    std::string Key(const DialogInfo& dialog, const std::string& name) {
        UINT key = 0;
        uint8_t modifiers = 0;
        if (!ParseKey(name, key, modifiers)) return "unknown key '" + name + "'";
        return PressKey(dialog.window, key, modifiers) ? "" : "the dialog is gone";
    }

    std::ostream& log_;
    const ScriptHooks& hooks_;
};

std::mutex logMutex;
std::ostream* logStream = nullptr;

void LogShown(HWND window) {
    std::lock_guard lock(logMutex);
    if (!logStream) return;
    for (const DialogInfo& dialog : Dialogs()) {
        if (dialog.window == window) *logStream << DescribeDialog(dialog) << std::flush;
    }
}

}  // namespace

std::string DescribeDialog(const DialogInfo& dialog) {
    std::ostringstream out;
    if (dialog.messageBox) {
        out << "message box \"" << Escaped(dialog.title) << "\": \"" << Escaped(dialog.MessageText()) << "\"\n";
        return out.str();
    }
    out << "dialog " << dialog.templateId << " \"" << Escaped(dialog.title) << "\"\n";
    for (const ControlInfo& control : dialog.controls) {
        out << "  [" << control.id << "] " << platform::ToUtf8(control.className) << " \""
            << Escaped(control.text) << "\"";
        if (control.className == u"MSCTLS_PROGRESS32" || control.className == u"msctls_progress32") {
            out << " at " << control.position;
        }
        out << "\n";
    }
    return out.str();
}

void LogShownDialogs(std::ostream* out) {
    {
        std::lock_guard lock(logMutex);
        logStream = out;
    }
    auto lock = detail::Lock();
    detail::WindowSystem::Get().onShown = out ? std::function<void(HWND)>(LogShown) : nullptr;
}

std::string RunScript(std::istream& script, std::ostream& log, const ScriptHooks& hooks) {
    ScriptRun run(log, hooks);
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line = line.substr(start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        const size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        log << "> " << line << "\n" << std::flush;
        const std::string error = run.Do(command, argument);
        if (!error.empty()) return "line " + std::to_string(number) + ": " + error;
    }
    return "";
}

}  // namespace platform::ui::automation
