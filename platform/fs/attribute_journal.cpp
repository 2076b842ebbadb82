#include "attribute_journal.h"

#include <fstream>

namespace platform::fs {
namespace {

// Lines: "P <attributes hex> <created ticks> <key>" records an entry, "D <key>" forgets it;
// "N <host key><tab><name>" records a long name, "X <host key>" forgets it. No key or name holds
// a tab (a control character).
std::string NameLine(const std::string& hostKey, const std::string& name) {
    return "N " + hostKey + "\t" + name + "\n";
}

std::string PutLine(const std::string& key, const KeptMetadata& m) {
    char head[64];
    std::snprintf(head, sizeof head, "P %x %llu ", static_cast<unsigned>(m.attributes),
                  static_cast<unsigned long long>(m.created));
    return head + key + "\n";
}

}  // namespace

AttributeJournal::AttributeJournal(std::filesystem::path file) : file_(std::move(file)) {
    Load();
    Rewrite();
}

AttributeJournal::~AttributeJournal() {
    if (out_ != nullptr) std::fclose(out_);
}

void AttributeJournal::Load() {
    std::ifstream in(file_);
    std::string line;
    while (std::getline(in, line)) {
        // A last line without its newline was torn (the host stopped mid-write): passed over.
        if (in.eof()) break;
        if (line.rfind("D ", 0) == 0) {
            records_.erase(line.substr(2));
            continue;
        }
        if (line.rfind("X ", 0) == 0) {
            longNames_.erase(line.substr(2));
            continue;
        }
        if (line.rfind("N ", 0) == 0) {
            const size_t tab = line.find('\t');
            if (tab != std::string::npos && tab > 2 && tab + 1 < line.size()) {
                longNames_[line.substr(2, tab - 2)] = line.substr(tab + 1);
            }
            continue;
        }
        unsigned attributes = 0;
        unsigned long long created = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "P %x %llu %n", &attributes, &created, &consumed) != 2 ||
            consumed <= 0 || static_cast<size_t>(consumed) >= line.size()) {
            continue;
        }
        records_[line.substr(consumed)] = {attributes, created};
    }
}

void AttributeJournal::Rewrite() {
    if (out_ != nullptr) std::fclose(out_);
    auto fresh = file_;
    fresh += ".new";
    if (std::FILE* f = std::fopen(fresh.c_str(), "w")) {
        for (const auto& [key, metadata] : records_) {
            const auto line = PutLine(key, metadata);
            std::fwrite(line.data(), 1, line.size(), f);
        }
        for (const auto& [hostKey, name] : longNames_) {
            const auto line = NameLine(hostKey, name);
            std::fwrite(line.data(), 1, line.size(), f);
        }
        std::fclose(f);
        std::error_code error;
        std::filesystem::rename(fresh, file_, error);
    }
    out_ = std::fopen(file_.c_str(), "a");
    appended_ = 0;
}

void AttributeJournal::Append(const std::string& line) {
    if (out_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
    if (++appended_ > 4096 + 2 * (records_.size() + longNames_.size())) Rewrite();
}

std::optional<KeptMetadata> AttributeJournal::Get(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = records_.find(key);
    if (it == records_.end()) return std::nullopt;
    return it->second;
}

void AttributeJournal::Put(const std::string& key, const KeptMetadata& metadata) {
    std::lock_guard lock(mutex_);
    records_[key] = metadata;
    Append(PutLine(key, metadata));
}

void AttributeJournal::Erase(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (records_.erase(key) > 0) Append("D " + key + "\n");
}

std::optional<std::string> AttributeJournal::LongName(const std::string& hostKey) {
    std::lock_guard lock(mutex_);
    auto it = longNames_.find(hostKey);
    if (it == longNames_.end()) return std::nullopt;
    return it->second;
}

void AttributeJournal::PutLongName(const std::string& hostKey, const std::string& name) {
    std::lock_guard lock(mutex_);
    longNames_[hostKey] = name;
    Append(NameLine(hostKey, name));
}

void AttributeJournal::EraseLongName(const std::string& hostKey) {
    std::lock_guard lock(mutex_);
    if (longNames_.erase(hostKey) > 0) Append("X " + hostKey + "\n");
}

}  // namespace platform::fs
