// A host folder's entries as the kernel hands them out (dirent64 records), read with
// getdents64 straight: a C library directory stream would cost more host calls to set up and
// a buffer of its own for every read.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <vector>

namespace platform::fs {

// Replaces records with every record of the open folder fd; false when the host failed.
bool ReadFolderRecords(int fd, std::vector<char>& records);

// Calls visit(const dirent64&) for each record.
template <class Visit>
void ForEachRecord(const std::vector<char>& records, const Visit& visit) {
    for (size_t at = 0; at < records.size();) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(records.data() + at);
        at += entry->d_reclen;
        visit(*entry);
    }
}

}  // namespace platform::fs
