#include "gdi_objects.h"

#include <unordered_map>

namespace platform::ui::gdi {
namespace {

// Handle values count up from a base far from small integers and are never reused, so a stale
// handle is refused rather than reaching a newer object.
class HandleTable {
public:
    HGDIOBJ Add(std::shared_ptr<Object> object) {
        std::lock_guard lock(mutex_);
        next_ += 4;
        objects_.emplace(next_, std::move(object));
        return reinterpret_cast<HGDIOBJ>(next_);
    }
    std::shared_ptr<Object> Find(HGDIOBJ handle) {
        std::lock_guard lock(mutex_);
        auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return found == objects_.end() ? nullptr : found->second;
    }
    bool Remove(HGDIOBJ handle) {
        std::lock_guard lock(mutex_);
        return objects_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
    }

private:
    std::mutex mutex_;
    uintptr_t next_ = 0x6D000000;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects_;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

}  // namespace

HGDIOBJ Register(std::shared_ptr<Object> object) { return Table().Add(std::move(object)); }
std::shared_ptr<Object> Lookup(HGDIOBJ handle) {
    return handle ? Table().Find(handle) : nullptr;
}
bool Unregister(HGDIOBJ handle) { return Table().Remove(handle); }

std::mutex& SelectionLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<Dc> LookupDc(HDC dc) { return LookupAs<Dc>(dc, Kind::Dc); }

void ReleaseSelections(Dc& dc) {
    std::lock_guard lock(SelectionLock());
    if (dc.bitmap) dc.bitmap->selectedInto = nullptr;
    dc.bitmap.reset();
    dc.brush.reset();
    dc.pen.reset();
    dc.font.reset();
}

}  // namespace platform::ui::gdi
