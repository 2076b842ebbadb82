// The launcher's own script commands, beside the user actions of the automation scripts:
//   start <program> [command line]   wait-exit   insert-card   remove-card
#pragma once

#include "card_folder_device.h"

#include <platform/ui/automation.h>

#include <optional>
#include <string>

namespace sim {

class ScriptSession {
public:
    explicit ScriptSession(CardFolder& card) : card_(card) {}
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    platform::ui::automation::ScriptHooks Hooks(const std::filesystem::path& snapshotFolder);
    std::optional<std::string> Do(const std::string& command, const std::string& argument);
    // Waits for a program still running; false when one did not end.
    bool Finish();

private:
    std::string Start(const std::string& argument);
    std::string WaitExit();

    CardFolder& card_;
    HANDLE process_ = nullptr;
    std::string program_;
};

}  // namespace sim
