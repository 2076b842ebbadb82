// FAT stores local times: a date (years from 1980), a time to 2 seconds and, for creation, a
// count of 10 ms units over that. The platform's time zone converts them to and from UTC.
#pragma once

#include <platform/clock.h>

#include <cstdint>

namespace platform::fat {

struct FatStamp {
    uint16_t date = 0;
    uint16_t time = 0;
    uint8_t tenMs = 0;  // 0..199: the odd second and the hundredths
};

FatStamp ToFatStamp(FileTimeTicks utc);
// 0 when the date is not a valid one (0, as tools leave unset access dates).
FileTimeTicks FromFatStamp(const FatStamp& stamp);

}  // namespace platform::fat
