// The application object: the program's name (the title of its message boxes), its help file,
// its start-up operation and its command table. A program has exactly one.
#pragma once

#include <ui_framework/text_string.h>

#include <functional>
#include <map>

namespace ui {

// The standard Help command.
inline constexpr UINT ID_HELP = 57670;
// Framework strings: shown when the help viewer cannot start, and when a field is too long.
inline constexpr UINT IDS_HELP_LAUNCH_FAILED = 61703;
inline constexpr UINT IDS_FIELD_TOO_LONG = 61716;

class Application {
public:
    Application(const WCHAR* name, const WCHAR* helpFile);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The start-up operation; false ends the program at once.
    virtual bool Startup() { return false; }

    // Routes a command through the command table; false when no entry takes it.
    bool ExecuteCommand(UINT id);
    // The handler of ID_HELP: starts the help viewer on the help file; if that fails, the
    // "Failed to launch help." message box.
    virtual void OnHelp();

    const TextString& Name() const { return name_; }
    const TextString& HelpFile() const { return helpFile_; }
    HINSTANCE Instance() const;

    // The one application of the program (nullptr before it is constructed).
    static Application* Current();

protected:
    void AddCommand(UINT id, std::function<void()> handler);

private:
    TextString name_;
    TextString helpFile_;
    std::map<UINT, std::function<void()>> commands_;
};

// Runs the program: the start-up operation of the current application. The framework's entry,
// called from main; gives the program's exit code.
int RunApplication();

// A message box titled with the application's name.
int ApplicationMessageBox(HWND owner, const WCHAR* text, UINT type = MB_OK | MB_ICONEXCLAMATION);
// A framework string (61703, 61716): from the program's string table when it has it, else the
// framework's own text.
TextString FrameworkString(UINT id);

// Starts the help viewer with a command line; replaceable so that tests and the simulated
// handheld decide what "starting a program" means. Gives false when nothing could be started.
using ProgramLauncher = std::function<bool(const WCHAR* program, const WCHAR* commandLine)>;
void SetProgramLauncher(ProgramLauncher launcher);
bool LaunchProgram(const WCHAR* program, const WCHAR* commandLine);

}  // namespace ui
