#include "help_file.h"

namespace sim {

std::string_view TandelHelpText() {
    return "Quorva CE Tandel backs up this device onto the Quorva drive.\n"
           "Backup copies every file except ROM files into a new folder\n"
           "named after the device, the date and the time.\n"
           "Restore copies a chosen backup back to its places and asks\n"
           "before it replaces a file.\n"
           "Cancel ends the program.\n";
}

}  // namespace sim
