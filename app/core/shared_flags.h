// The values the user-interface thread and the one worker thread share without a lock. Each is
// a single 32-bit integer read and written whole (relaxed loads and stores).
#pragma once

#include <atomic>
#include <cstdint>

// 1 stops the running job between files; only ever set to 1 by the progress dialog.
extern std::atomic<int32_t> cancelRequested;
// How far the running job has come, 0 to 100; zeroed by the progress dialog's construction.
extern std::atomic<uint32_t> progressPercent;
// 1 once the user answered Yes to All during the current restore.
extern std::atomic<int32_t> replaceAll;
