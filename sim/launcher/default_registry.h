// The registry a new simulated handheld starts with.
#pragma once

#include <string_view>

namespace sim {

// REGEDIT4 text: the device's name under Ident and the platform's own ATA and SRAM card
// drivers under Drivers\PCMCIA\Detect.
std::string_view DefaultRegistryText();

}  // namespace sim
