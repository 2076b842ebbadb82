#include <ui_framework/string_list.h>
#include <ui_framework/text_string.h>

#include <platform/ui/resources.h>

#include <cstdarg>
#include <stdexcept>

namespace ui {
namespace {

// The window system's wsprintf writes at most 1024 characters with the terminator.
constexpr size_t kFormatLimit = 1024;

}  // namespace

TextString::TextString(const WCHAR* text) : text_(text ? text : u"") {}

TextString::TextString(const char* text) {
    if (!text) return;
    for (const char* c = text; *c; ++c) text_.push_back(static_cast<unsigned char>(*c));
}

TextString::TextString(WCHAR character, int count)
    : text_(static_cast<size_t>(std::max(count, 0)), character) {}

WCHAR* TextString::GetBuffer(int minLength) {
    const size_t wanted = static_cast<size_t>(std::max(minLength, 0));
    if (text_.size() < wanted) text_.resize(wanted, 0);
    return text_.data();
}

void TextString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        const size_t end = text_.find(u'\0');
        if (end != std::u16string::npos) text_.resize(end);
    } else {
        text_.resize(std::min(static_cast<size_t>(newLength), text_.size()));
    }
}

bool TextString::LoadString(UINT id) {
    auto file = platform::ui::ModuleResources(nullptr);
    auto text = file ? platform::ui::FindString(*file, id) : platform::ui::Parsed<std::u16string>{};
    text_ = text ? *text.value : std::u16string();
    return static_cast<bool>(text);
}

void TextString::Format(const WCHAR* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    FormatV(format, arguments);
    va_end(arguments);
}

void TextString::FormatV(const WCHAR* format, va_list arguments) {
    WCHAR buffer[kFormatLimit + 1] = {};
    const int written = wvsprintfW(buffer, format ? format : u"", arguments);
    text_.assign(buffer, static_cast<size_t>(std::max(written, 0)));
}

TextString& TextString::operator=(const WCHAR* text) {
    text_ = text ? text : u"";
    return *this;
}

TextString& TextString::operator+=(const TextString& other) {
    text_ += other.text_;
    return *this;
}

TextString& TextString::operator+=(const WCHAR* text) {
    if (text) text_ += text;
    return *this;
}

TextString& TextString::operator+=(WCHAR character) {
    text_.push_back(character);
    return *this;
}

bool TextString::operator==(const WCHAR* other) const { return text_ == (other ? other : u""); }

int TextString::Compare(const WCHAR* other) const { return text_.compare(other ? other : u""); }

TextString operator+(const TextString& a, const TextString& b) {
    TextString result(a);
    result += b;
    return result;
}

TextString operator+(const TextString& a, const WCHAR* b) {
    TextString result(a);
    result += b;
    return result;
}

TextString operator+(const WCHAR* a, const TextString& b) {
    TextString result(a);
    result += b;
    return result;
}

const TextString& StringList::GetNext(Position& position) const {
    if (position == 0 || position > items_.size()) {
        throw std::out_of_range("StringList::GetNext past the last string");
    }
    const TextString& text = items_[position - 1];
    position = position < items_.size() ? position + 1 : 0;
    return text;
}

}  // namespace ui
