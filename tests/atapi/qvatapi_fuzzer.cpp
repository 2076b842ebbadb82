// libFuzzer target: the fuzzer's input picks an entry point and scripts every register read of
// the drive. Every entry point must return within bounded accesses, with a result of its set,
// a sound medium state and nothing written outside its buffers, with no sanitizer finding.
#include "random_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
        return atapi_test::QvatapiLibrary::Get().module != nullptr;
    }();
    if (!ready) __builtin_trap();
    const atapi_test::RunOutcome outcome = atapi_test::RunEntryPointOnScript({data, size});
    if (outcome.violation != nullptr) __builtin_trap();
    // Each script byte answers one read at most; what follows it reads 0, on which no wait
    // of the library lingers.
    if (outcome.accesses > 400000 + 1000 * static_cast<uint64_t>(size)) __builtin_trap();
    return 0;
}
