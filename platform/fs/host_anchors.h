// The host folders a store keeps open (its own folder, its staging folder, the ROM folder), and
// host paths handed to the kernel as names under them. Every call of the host-folder store names
// a path below one of these folders; given as a name under the open folder, the kernel walks
// only the part below it, not the folders above the store again for each call (on the build
// machine about a quarter of a stat of a path four folders below a store five folders deep).
// The store's folders are held as a mount holds its root: replaced on the host while the store
// is mounted, the store keeps working in the folder it was given.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>

namespace platform::fs {

// A host path as a *at() call takes it.
struct HostAt {
    int folder;
    const char* name;
};

class HostAnchors {
public:
    HostAnchors() = default;
    ~HostAnchors();
    HostAnchors(const HostAnchors&) = delete;
    HostAnchors& operator=(const HostAnchors&) = delete;

    // Paths below folder are given from here on as names under it; a folder that cannot be
    // opened leaves its paths as they are.
    void Hold(const std::string& folder);

    // path as a name under the held folder it lies below, else as it is (relative to the
    // working folder, as a plain call would take it). The name points into path.
    HostAt At(const std::string& path) const;

private:
    struct Held {
        std::string folder;
        int fd;
    };
    // Held while the store runs. A folder added later (the staging folder, made on first use)
    // is written whole before the count that shows it: readers take no lock.
    std::mutex adding_;
    std::array<Held, 4> held_{};
    std::atomic<size_t> count_{0};
};

}  // namespace platform::fs
