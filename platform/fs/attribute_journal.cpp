#include "attribute_journal.h"

#include <fstream>

namespace platform::fs {
namespace {

// Lines: "P <attributes hex> <created ticks> <key>" records an entry, "D <key>" forgets it.
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
        if (line.rfind("D ", 0) == 0) {
            records_.erase(line.substr(2));
            continue;
        }
        unsigned attributes = 0;
        unsigned long long created = 0;
        int consumed = 0;
        // A torn last line (the host stopped mid-write) is passed over.
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
    if (++appended_ > 4096 + 2 * records_.size()) Rewrite();
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

}  // namespace platform::fs
