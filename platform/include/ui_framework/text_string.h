// The framework's text string: UTF-16 characters with value semantics (a copy changed leaves
// the original alone).
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class TextString {
public:
    TextString() = default;
    TextString(const WCHAR* text);  // NOLINT: converts like the text it holds
    TextString(const char* text);   // 8-bit text, each byte one character
    TextString(WCHAR character, int count);
    explicit TextString(std::u16string text) : text_(std::move(text)) {}

    int GetLength() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }

    WCHAR GetAt(int index) const { return text_.at(static_cast<size_t>(index)); }
    void SetAt(int index, WCHAR character) { text_.at(static_cast<size_t>(index)) = character; }
    WCHAR operator[](int index) const { return GetAt(index); }

    // A writable buffer of at least minLength characters plus a terminator; ReleaseBuffer
    // takes the text's new length (-1: up to the first terminator).
    WCHAR* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    // Loads the string-table entry of the program's resources; false (and empty) when missing.
    bool LoadString(UINT id);
    // printf-style formatting into this string: %d %u %s %c %x with flags, width and 'l'.
    void Format(const WCHAR* format, ...);
    void FormatV(const WCHAR* format, va_list arguments);

    TextString& operator=(const WCHAR* text);
    TextString& operator+=(const TextString& other);
    TextString& operator+=(const WCHAR* text);
    TextString& operator+=(WCHAR character);

    bool operator==(const TextString& other) const { return text_ == other.text_; }
    bool operator==(const WCHAR* other) const;
    int Compare(const WCHAR* other) const;

    operator const WCHAR*() const { return text_.c_str(); }  // NOLINT: as the API takes it
    const WCHAR* c_str() const { return text_.c_str(); }
    const std::u16string& str() const { return text_; }

private:
    std::u16string text_;
};

TextString operator+(const TextString& a, const TextString& b);
TextString operator+(const TextString& a, const WCHAR* b);
TextString operator+(const WCHAR* a, const TextString& b);

}  // namespace ui
