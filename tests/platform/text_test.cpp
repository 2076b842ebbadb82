#include <platform/text.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

template <class... Args>
std::u16string Format(const char16_t* format, Args... args) {
    WCHAR buffer[1100];
    const int written = wsprintf(buffer, format, args...);
    EXPECT_EQ(static_cast<size_t>(written), wcslen(buffer));
    return buffer;
}

TEST(Wsprintf, TheProgramsFormats) {
    EXPECT_EQ(Format(u"%s %d-%d-%d %d.%02d", u"Field", 3, 18, 1999, 23, 5), u"Field 3-18-1999 23.05");
    EXPECT_EQ(Format(u"%lu", 4294967295u), u"4294967295");
    EXPECT_EQ(Format(u"%lu", 0u), u"0");
    EXPECT_EQ(Format(u"[%2d]", 7), u"[ 7]");
    EXPECT_EQ(Format(u"[%2d]", 123), u"[123]");
    EXPECT_EQ(Format(u"[%02d]", 0), u"[00]");
    EXPECT_EQ(Format(u"%d", -42), u"-42");
    EXPECT_EQ(Format(u"[%05d]", -42), u"[-0042]");
    EXPECT_EQ(Format(u"[%-4d]", 5), u"[5   ]");
    EXPECT_EQ(Format(u"%x %X %u", 255u, 255u, 3000000000u), u"ff FF 3000000000");
    EXPECT_EQ(Format(u"%c%%%hs", u'A', "narrow"), u"A%narrow");
    EXPECT_EQ(Format(u"%.3s|%5s", u"abcdef", u"ab"), u"abc|   ab");
    EXPECT_EQ(Format(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
}

TEST(Wsprintf, OutputStopsAt1024Characters) {
    std::u16string longText(2000, u'x');
    WCHAR buffer[1100];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(wsprintf(buffer, u"%s", longText.c_str()), 1023);
    EXPECT_EQ(buffer[1023], 0);
    EXPECT_EQ(buffer[1024], u'#');
}

TEST(WideString, RuntimeFunctions) {
    WCHAR buffer[32];
    wcscpy(buffer, u"Abc");
    wcscat(buffer, u"\\Def");
    EXPECT_EQ(wcslen(buffer), 7u);
    EXPECT_EQ(wcscmp(buffer, u"Abc\\Def"), 0);
    EXPECT_LT(wcscmp(u"Abc", u"Abd"), 0);
    EXPECT_EQ(_wcsicmp(u"QVCARD.DLL", u"qvcard.dll"), 0);
    EXPECT_NE(_wcsicmp(u"QVCARD.DLL", u"qvcard.dl"), 0);
    EXPECT_EQ(_wcsnicmp(u"Field 1", u"FIELD 2", 5), 0);
    EXPECT_EQ(wcsrchr(buffer, u'\\'), buffer + 3);
    EXPECT_EQ(wcschr(buffer, u'x'), nullptr);
    EXPECT_EQ(wcsstr(u"QUORVA ZAPT! 40", u"ZAPT"), u"QUORVA ZAPT! 40" + 7);

    WCHAR padded[6];
    wcsncpy(padded, u"ab", 6);
    EXPECT_EQ(padded[2], 0);
    EXPECT_EQ(padded[5], 0);
}

TEST(WideString, NumberParsing) {
    WCHAR* end = nullptr;
    const WCHAR text[] = u"  42abc";
    EXPECT_EQ(wcstoul(text, &end, 10), 42u);
    EXPECT_EQ(end, text + 4);
    EXPECT_EQ(wcstoul(u"99999999999", nullptr, 10), 0xFFFFFFFFul);
    EXPECT_EQ(wcstoul(u"0x1F", nullptr, 0), 31u);
    EXPECT_EQ(wcstoul(u"abc", &end, 10), 0u);
    EXPECT_EQ(_wtol(u"-17"), -17);
    EXPECT_EQ(_wtol(u"007"), 7);
}

TEST(Text, Utf8RoundTripAndMalformedInput) {
    const std::u16string text = u"Ma\u00DF \u20AC \U0001F600";
    EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(text)), text);
    EXPECT_FALSE(platform::FromUtf8("\xC3"));          // truncated
    EXPECT_FALSE(platform::FromUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(platform::FromUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(platform::Utf16("a\xFFz"), u"a\uFFFDz");
}

TEST(Text, CaseFolding) {
    EXPECT_TRUE(platform::EqualsIgnoreCase(u"Drivers\\PCMCIA", u"drivers\\pcmcia"));
    EXPECT_TRUE(platform::EqualsIgnoreCase(u"\u00C4RGER", u"\u00E4rger"));
    EXPECT_TRUE(platform::EqualsIgnoreCase(u"\u0416", u"\u0436"));
    EXPECT_FALSE(platform::EqualsIgnoreCase(u"abc", u"abd"));
    EXPECT_EQ(towupper(u'q'), u'Q');
    EXPECT_EQ(towupper(u'\u00E9'), u'\u00C9');
    EXPECT_EQ(towlower(u'\u0100'), u'\u0101');
    EXPECT_EQ(towupper(u'\u0101'), u'\u0100');
}

}  // namespace
