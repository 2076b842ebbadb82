// Every entry point against a drive that answers at random: each returns, within bounded
// register accesses and virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "random_device.h"

namespace atapi_test {
namespace {

// Status values that steer into the protocol's branches more often than plain noise.
constexpr uint8_t kTelling[] = {0x00, 0x08, 0x10, 0x40, 0x41, 0x48, 0x50, 0x51,
                                0x58, 0x80, 0x81, 0xFF, 0x14, 0xEB, 0x55, 0xAA};

std::vector<uint8_t> Script(std::mt19937& random) {
    std::uniform_int_distribution<int> length(4, 3000);
    std::vector<uint8_t> script(static_cast<size_t>(length(random)));
    for (auto& byte : script) {
        const uint32_t draw = random();
        byte = draw % 4 == 0 ? static_cast<uint8_t>(draw >> 8) : kTelling[(draw >> 8) % 16];
    }
    return script;
}

TEST(RandomDevice, EveryEntryPointReturnsWithinBoundedAccesses) {
    platform::VirtualClock& clock =
        platform::UseVirtualClock(platform::MakeSystemTime(1999, 3, 18), 100000);
    ASSERT_NE(QvatapiLibrary::Get().module, nullptr);
    std::mt19937 random(20261208);
    uint64_t most = 0;
    for (int run = 0; run < 4000; ++run) {
        const std::vector<uint8_t> script = Script(random);
        const uint64_t before = clock.ElapsedMilliseconds();
        const uint64_t accesses = RunEntryPointOnScript(script);
        // The script is at most 3000 bytes; once it is spent the device reads 0, which
        // no wait of the library polls on for long.
        EXPECT_LT(accesses, 400000u) << "run " << run;
        most = std::max(most, accesses);
        EXPECT_LT(clock.ElapsedMilliseconds() - before, 600000u) << "run " << run;
    }
}

}  // namespace
}  // namespace atapi_test
