#include "script_commands.h"

#include <platform/text.h>
#include <windows.h>

#include <cstdio>

namespace sim {
namespace {
constexpr DWORD kExitWaitMs = 10000;
}

ScriptSession::~ScriptSession() {
    if (process_) CloseHandle(process_);
}

platform::ui::automation::ScriptHooks ScriptSession::Hooks(const std::filesystem::path& snapshotFolder) {
    platform::ui::automation::ScriptHooks hooks;
    hooks.extra = [this](const std::string& command, const std::string& argument) { return Do(command, argument); };
    hooks.snapshotFolder = snapshotFolder;
    return hooks;
}

std::optional<std::string> ScriptSession::Do(const std::string& command, const std::string& argument) {
    if (command == "start") return Start(argument);
    if (command == "wait-exit") return WaitExit();
    if (command == "insert-card") {
        const std::string error = card_.Insert();
        if (error.empty()) std::printf("  card inserted: CRD0: names the folder \\Storage\n");
        return error;
    }
    if (command == "remove-card") {
        card_.Remove();
        std::printf("  card removed\n");
        return std::string();
    }
    return std::nullopt;
}

std::string ScriptSession::Start(const std::string& argument) {
    if (process_) return "a program is running already";
    const size_t space = argument.find(' ');
    program_ = argument.substr(0, space);
    const std::u16string commandLine = space == std::string::npos ? u"" : platform::Utf16(argument.substr(space + 1));
    PROCESS_INFORMATION started{};
    if (!CreateProcess(platform::Utf16(program_).c_str(), commandLine.c_str(), nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, nullptr, &started)) {
        return "cannot start " + program_ + " (error " + std::to_string(GetLastError()) + ")";
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    std::printf("  %s started\n", program_.c_str());
    return "";
}

std::string ScriptSession::WaitExit() {
    if (!process_) return "no program is running";
    if (WaitForSingleObject(process_, kExitWaitMs) != WAIT_OBJECT_0) return program_ + " did not end";
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    std::printf("  %s ended with %lu\n", program_.c_str(), static_cast<unsigned long>(code));
    return "";
}

bool ScriptSession::Finish() { return !process_ || WaitExit().empty(); }

}  // namespace sim
