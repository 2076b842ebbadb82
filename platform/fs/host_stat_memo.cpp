#include "host_stat_memo.h"

#include "lookup_step.h"

#include <fcntl.h>

#include <array>
#include <atomic>

namespace platform::fs {
namespace {

std::atomic<uint64_t> storeChanges{0};

// A copy's step asks about two or three paths; a few more cost nothing to search.
struct StepAnswers {
    struct Answer {
        std::string path;
        bool found = false;
        struct stat st{};
    };
    uint64_t step = 0;
    uint64_t changes = 0;
    std::array<Answer, 4> answers;
    size_t used = 0;
    size_t next = 0;  // the answer a new one replaces once all are used
};

thread_local StepAnswers kept;

bool StatAt(const std::string& path, const HostAnchors& anchors, struct stat& st) {
    const HostAt at = anchors.At(path);
    return ::fstatat(at.folder, at.name, &st, 0) == 0;
}

}  // namespace

bool StatInStep(const std::string& path, const HostAnchors& anchors, struct stat& st) {
    const uint64_t step = LookupStep::Current();
    if (step == 0) return StatAt(path, anchors, st);
    const uint64_t changes = storeChanges.load(std::memory_order_acquire);
    if (kept.step != step || kept.changes != changes) {
        kept.step = step;
        kept.changes = changes;
        kept.used = 0;
        kept.next = 0;
    }
    for (size_t i = 0; i < kept.used; ++i) {
        auto& answer = kept.answers[i];
        if (answer.path == path) {
            st = answer.st;
            return answer.found;
        }
    }
    const bool found = StatAt(path, anchors, st);
    auto& answer = kept.answers[kept.next];
    kept.next = (kept.next + 1) % kept.answers.size();
    if (kept.used < kept.answers.size()) ++kept.used;
    answer.path = path;
    answer.found = found;
    answer.st = st;
    return found;
}

void NoteStoreChange() { storeChanges.fetch_add(1, std::memory_order_acq_rel); }

}  // namespace platform::fs
