#include "byte_reader.h"

namespace platform::ui::detail {

bool ByteReader::Need(size_t count, const char* what) {
    if (failed_) return false;
    if (Remaining() >= count) return true;
    failed_ = true;
    error_ = "truncated at byte " + std::to_string(offset_) + " while reading " + what;
    offset_ = bytes_.size();
    return false;
}

uint8_t ByteReader::U8(const char* what) {
    if (!Need(1, what)) return 0;
    return bytes_[offset_++];
}

uint16_t ByteReader::U16(const char* what) {
    if (!Need(2, what)) return 0;
    const uint16_t value = static_cast<uint16_t>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
    offset_ += 2;
    return value;
}

uint32_t ByteReader::U32(const char* what) {
    const uint32_t low = U16(what);
    const uint32_t high = U16(what);
    return low | (high << 16);
}

std::u16string ByteReader::String(const char* what) {
    std::u16string text;
    for (;;) {
        const char16_t unit = U16(what);
        if (failed_ || unit == 0) return text;
        text.push_back(unit);
    }
}

ResourceId ByteReader::Id(const char* what) {
    if (!Need(2, what)) return {};
    const uint16_t first = static_cast<uint16_t>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
    if (first == 0xFFFF) {
        offset_ += 2;
        return ResourceId::Of(U16(what));
    }
    if (first == 0) {
        offset_ += 2;
        return {};
    }
    return ResourceId::Named(String(what));
}

std::span<const uint8_t> ByteReader::Bytes(size_t count, const char* what) {
    if (!Need(count, what)) return {};
    auto part = bytes_.subspan(offset_, count);
    offset_ += count;
    return part;
}

void ByteReader::AlignTo4(size_t base) {
    const size_t relative = offset_ - base;
    const size_t padded = (relative + 3) & ~size_t{3};
    // Alignment padding at the very end of the data may be absent; that is not a shortfall.
    offset_ = std::min(base + padded, bytes_.size());
}

}  // namespace platform::ui::detail
