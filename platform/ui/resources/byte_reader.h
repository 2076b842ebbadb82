// Little-endian reads over a byte span that never go past its end: every read reports whether
// the bytes were there, and the first shortfall is remembered with its offset.
#pragma once

#include <platform/ui/resources.h>

#include <cstdint>
#include <span>
#include <string>

namespace platform::ui::detail {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes, size_t offset = 0)
        : bytes_(bytes), offset_(offset) {}

    size_t Offset() const { return offset_; }
    size_t Remaining() const { return offset_ <= bytes_.size() ? bytes_.size() - offset_ : 0; }
    bool Failed() const { return failed_; }
    // "truncated at byte N while reading WHAT"
    std::string Error() const { return error_; }

    uint8_t U8(const char* what);
    uint16_t U16(const char* what);
    uint32_t U32(const char* what);
    int16_t I16(const char* what) { return static_cast<int16_t>(U16(what)); }
    // A 0x0000-terminated UTF-16 string.
    std::u16string String(const char* what);
    // 0x0000 (nothing), 0xFFFF + ordinal, or a terminated string.
    ResourceId Id(const char* what);
    std::span<const uint8_t> Bytes(size_t count, const char* what);
    void AlignTo4(size_t base = 0);
    void Skip(size_t count, const char* what) { (void)Bytes(count, what); }

private:
    bool Need(size_t count, const char* what);

    std::span<const uint8_t> bytes_;
    size_t offset_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace platform::ui::detail
