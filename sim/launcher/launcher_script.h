// The launcher's scripts: the handheld's own actions, each on a line of its own,
//   insert-card   remove-card   pull-card   pull-card-after ACCESSES   run PROGRAM [command line]
// and after each `run` line the automation script (see platform/ui/script.h) that drives that
// program, up to the next line of the launcher's own. Inside it, a line `! ACTION` runs one of
// the handheld's card actions while the program goes on (`! pull-card` while a question is
// up), or `! tap-window TEMPLATE`, a tap on the edge of a window that lies behind another. Every program must have ended when its part of the script is over. Every window shown
// is printed with its texts.
#pragma once

#include "card.h"

#include <iosfwd>
#include <string>

namespace sim {

// 0 when every part passed, 1 when one failed, 2 when the script cannot be read.
int RunLauncherScript(const std::string& scriptPath, Card& card, std::ostream& log);

}  // namespace sim
