#include "default_registry.h"

namespace sim {

std::string_view DefaultRegistryText() {
    return R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Ident]
"Name"="Field"
"Desc"="Simulated handheld"

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect]

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect\60]
"Dll"="ATADISK.DLL"
"Entry"="DetectATADisk"

[HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect\65]
"Dll"="SRAMDISK.DLL"
"Entry"="DetectSRAMDisk"
)";
}

}  // namespace sim
