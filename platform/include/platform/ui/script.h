// Automation scripts: a plain-text list of user actions run against whatever the programs on
// the simulated handheld show. One action a line; '#' starts a comment; arguments are words or
// "quoted text" (\" and \\ inside quotes).
//
//   wait title "Quorva CE Tandel" [within MS]   wait template 101 [within MS]
//   gone title "..." [within MS]                gone template 101 [within MS]
//   press 1007 | press "&Backup"                a control of the front window, by id or caption
//   key Enter | key Alt+H | key Shift+Tab       Enter Escape Tab Space Up Down Left Right F1 F4
//                                               or a letter or digit, with Alt+ Shift+ Ctrl+
//   expect 1010 "Operation Complete"            a control's text in the front window
//   expect title "Confirm Replace"              the front window's title
//   close                                       the front window's close box
//   snapshot FILE.png                           the screen as a PNG
//   advance MS                                  virtual time (on the virtual clock)
//   end [within MS]                             the program has ended
//
// Each action is echoed to the log as it runs ("> press \"&Backup\""), before what it causes.
// Every wait has a limit (10 s of real time unless `within` says otherwise). An unknown
// action, a missing argument or a failed expectation stops the run with the line number and
// what was expected against what was shown.
#pragma once

#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>

namespace platform::ui::automation {

struct ScriptOutcome {
    bool ok = true;
    std::string failure;  // "NAME:LINE: what went wrong"
};

// A log that several threads write whole pieces of text to: the script's actions from the
// script's thread, the windows shown from the programs' threads.
class ScriptLog {
public:
    explicit ScriptLog(std::ostream& out) : out_(out) {}
    void Write(const std::string& text);

private:
    std::ostream& out_;
    std::mutex mutex_;
};

// Runs the script's actions; `programEnded` tells `end` whether the program has finished.
ScriptOutcome RunScript(std::istream& script, const std::string& name, ScriptLog& log,
                        const std::function<bool()>& programEnded);

// Runs `program` on a thread of its own with the script driving it, printing every window shown
// and its texts to `log`. Returns 0 when the script passed and the program ended, 1 when the
// script failed, 2 when the script file cannot be read.
int RunProgramUnderScript(const std::function<int()>& program, const std::string& scriptPath,
                          std::ostream& log);

}  // namespace platform::ui::automation
