// The drive's lock. Every register access takes it, almost always uncontended (the driver's
// thread; a test thread throws a switch or looks at the drive now and then), and it is held
// for a few instructions or one burst's medium I/O. So it is taken with one atomic exchange
// and given back with a plain release store, where a mutex spends a second atomic exchange on
// unlocking; a thread that finds it taken yields until it is free.
#pragma once

#include <atomic>
#include <thread>

namespace sim {

class DriveLock {
public:
    void lock() {
        while (taken_.exchange(true, std::memory_order_acquire)) {
            while (taken_.load(std::memory_order_relaxed)) std::this_thread::yield();
        }
    }
    void unlock() { taken_.store(false, std::memory_order_release); }

private:
    std::atomic<bool> taken_{false};
};

}  // namespace sim
