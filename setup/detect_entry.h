// The card driver's PC Card detection entry under HKEY_LOCAL_MACHINE\Drivers\PCMCIA\Detect.
#pragma once

#include <windows.h>

enum class DetectEntryAction { Install, Remove };

// Install: places a new entry numbered directly below the lowest entry of the platform's ATA
// and SRAM card drivers (or below 50 when neither has one), after deleting any entry left by an
// earlier installation. Remove: deletes the card driver's entries. True on success.
bool UpdateDetectEntry(DetectEntryAction action);
