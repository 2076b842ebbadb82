// How CE names become host names in the host-folder store. A CE name of up to 255 characters can
// take up to 765 bytes in UTF-8, while a host name holds 255 bytes: a name that does not fit is
// stored shortened, as the start of its spelling, "|" and a hash of its folded name. "|" is a
// character no CE name holds, so a shortened name never clashes with a plain one; the full
// spelling is kept in the attribute journal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::fs {

constexpr size_t kHostNameBytes = 255;

// The UTF-8 spelling when it fits, else the shortened form.
std::string HostNameOf(std::u16string_view ceName);
bool IsShortenedHostName(std::string_view hostName);
// The CE name a plain host name stands for; nothing for names no CE path can reach (invalid
// UTF-8, a character CE refuses, dots only) and for shortened names.
std::optional<std::u16string> PlainCeNameOf(std::string_view hostName);
// The host name of a CE name stored under its own spelling, which reads back as that CE name;
// nothing for a name stored shortened or one no plain host name stands for.
std::optional<std::string> PlainHostNameOf(std::u16string_view ceName);
// Appends the host name PlainHostNameOf gives, without a string of its own; false (out as it was)
// where that gives nothing.
bool AppendPlainHostName(std::string& out, std::u16string_view ceName);
// Appends the UTF-8 form of the folded name, as a key of the attribute journal spells each part.
void AppendFoldedUtf8(std::string& out, std::u16string_view ceName);
// The longest start of text, cut between characters, of at most bytes bytes.
std::string_view Utf8Prefix(std::string_view text, size_t bytes);

}  // namespace platform::fs
