// What the test driver TSTDRV.DLL records, read by the tests through its export TestDriverLog.
#pragma once

#include <windef.h>

#include <atomic>

struct DriverLog {
    std::atomic<DWORD_PTR> initContext{0};
    std::atomic<int> inits{0}, deinits{0}, opens{0}, closes{0}, controls{0}, powerDowns{0}, powerUps{0};
    std::atomic<DWORD> lastAccess{0}, lastShare{0};
};
