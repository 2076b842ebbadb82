#include "shared_flags.h"

std::atomic<int32_t> cancelRequested{0};
std::atomic<uint32_t> progressPercent{0};
std::atomic<int32_t> replaceAll{0};
