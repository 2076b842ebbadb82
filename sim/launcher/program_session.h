// The backup program run for a person: in a window, or in the terminal. Either way the session
// ends when the program ends; closing the window ends it too, the program's job cancelled as
// its Cancel button would.
#pragma once

#include <iosfwd>
#include <string>

namespace sim {

// Tandel in a window until it ends. With `scriptPath` (may be empty) the script runs alongside
// the person: it can wait, expect and snapshot what they do. Every window shown is printed to
// `log`. 0 when the session ended well, 1 when the script failed, 3 when no window can be shown.
int RunWindowSession(const std::string& scriptPath, std::ostream& log);

// Tandel in the terminal: the screen in characters, redrawn while it changes, actions typed one
// a line. 0 when the program ended, 1 when it could not start.
int RunTerminalSession(std::istream& in, std::ostream& out);

}  // namespace sim
