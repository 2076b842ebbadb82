// The attributes, creation times and over-long names that a host folder cannot hold, kept in a
// journal file:
// each change appends one line, so keeping them costs one short write per change rather than
// a rewrite of everything. Loading replays the lines and writes the file afresh, compact.
#pragma once

#include <platform/clock.h>
#include <windef.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace platform::fs {

struct KeptMetadata {
    DWORD attributes = 0;
    FileTimeTicks created = 0;
};

class AttributeJournal {
public:
    explicit AttributeJournal(std::filesystem::path file);
    ~AttributeJournal();

    // Keys are folded paths relative to the store's root, "\"-separated.
    std::optional<KeptMetadata> Get(const std::string& key);
    void Put(const std::string& key, const KeptMetadata& metadata);
    void Erase(const std::string& key);

    // The full spelling of a shortened host name; keys are the folder's key, "\" and the host
    // name.
    std::optional<std::string> LongName(const std::string& hostKey);
    void PutLongName(const std::string& hostKey, const std::string& name);
    void EraseLongName(const std::string& hostKey);

private:
    void Load();
    void Rewrite();
    void Append(const std::string& line);

    std::mutex mutex_;
    std::filesystem::path file_;
    std::unordered_map<std::string, KeptMetadata> records_;
    std::unordered_map<std::string, std::string> longNames_;
    std::FILE* out_ = nullptr;
    size_t appended_ = 0;
};

}  // namespace platform::fs
