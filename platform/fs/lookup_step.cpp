#include "lookup_step.h"

#include <atomic>

namespace platform::fs {
namespace {

std::atomic<uint64_t> lastStep{0};
thread_local uint64_t currentStep = 0;

}  // namespace

LookupStep::LookupStep() : outer_(currentStep) {
    currentStep = lastStep.fetch_add(1, std::memory_order_relaxed) + 1;
}

LookupStep::~LookupStep() { currentStep = outer_; }

uint64_t LookupStep::Current() { return currentStep; }

}  // namespace platform::fs
