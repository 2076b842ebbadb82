// One step of a file API call: a stretch in which nothing the caller can observe tells apart
// the moments of its look-ups, such as a copy's checks and its staging, or the check after its
// data moved and putting it in place. Within a step a store may answer a look-up it already
// made in that step again; a new step looks afresh.
#pragma once

#include <cstdint>

namespace platform::fs {

class LookupStep {
public:
    LookupStep();
    ~LookupStep();
    LookupStep(const LookupStep&) = delete;
    LookupStep& operator=(const LookupStep&) = delete;

    // The step open on this thread (the innermost), or 0 outside any.
    static uint64_t Current();

private:
    uint64_t outer_;
};

}  // namespace platform::fs
