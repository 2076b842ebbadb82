// The framework's text string and string list.
#include <ui_framework.h>

#include <gtest/gtest.h>

namespace {

using ui::StringList;
using ui::TextString;

TEST(TextString, ConstructionFromEveryKindOfSource) {
    EXPECT_TRUE(TextString().IsEmpty());
    EXPECT_EQ(TextString(u"wide"), u"wide");
    EXPECT_EQ(TextString("narrow"), u"narrow");
    EXPECT_EQ(TextString("\xE9"), u"\u00E9");  // an 8-bit character keeps its value
    EXPECT_EQ(TextString(u'-', 3), u"---");
    EXPECT_EQ(TextString(u'-', 0).GetLength(), 0);
    EXPECT_EQ(TextString(static_cast<const WCHAR*>(nullptr)).GetLength(), 0);
}

TEST(TextString, CopiesAreIndependent) {
    TextString original(u"Field");
    TextString copy = original;
    copy.SetAt(0, u'Y');
    copy += u" 3-18-1999";
    EXPECT_EQ(original, u"Field");
    EXPECT_EQ(copy, u"Yield 3-18-1999");
    TextString assigned;
    assigned = original;
    original.Empty();
    EXPECT_EQ(assigned, u"Field");
    EXPECT_TRUE(original.IsEmpty());
}

TEST(TextString, ConcatenationComparisonAndIndexing) {
    const TextString separator(u"\\");
    const TextString path = TextString(u"\\Storage") + separator + u"Field";
    EXPECT_EQ(path, u"\\Storage\\Field");
    EXPECT_EQ(u"x" + path, u"x\\Storage\\Field");
    EXPECT_EQ(path.GetLength(), 14);
    EXPECT_EQ(path.GetAt(1), u'S');
    EXPECT_EQ(path[8], u'\\');
    EXPECT_THROW(path.GetAt(14), std::out_of_range);
    // Exact and case-sensitive.
    EXPECT_FALSE(TextString(u"Field") == u"field");
    EXPECT_TRUE(TextString(u"Field") == TextString(u"Field"));
    EXPECT_NE(TextString(u"Field").Compare(u"Fields"), 0);
}

TEST(TextString, WritableBufferKeepsWhatWasWrittenUpToTheTerminator) {
    TextString text(u"ab");
    WCHAR* buffer = text.GetBuffer(20);
    wcscpy(buffer, u"longer text");
    text.ReleaseBuffer();
    EXPECT_EQ(text, u"longer text");
    text.GetBuffer(5);
    text.ReleaseBuffer(3);
    EXPECT_EQ(text, u"lon");
}

TEST(TextString, FormatsTheProgramsConversions) {
    TextString text;
    text.Format(u"%s %d-%d-%d %d.%02d", u"Field", 3, 18, 1999, 23, 5);
    EXPECT_EQ(text, u"Field 3-18-1999 23.05");
    text.Format(u"%d/%d/%2d %d:%02d %s", 3, 18, 7, 0, 30, u"AM");
    EXPECT_EQ(text, u"3/18/ 7 0:30 AM");
    text.Format(u"Application Error %lu", 4294967295u);
    EXPECT_EQ(text, u"Application Error 4294967295");
    text.Format(u"%d", -15);
    EXPECT_EQ(text, u"-15");
    // Formatting into itself replaces what was there.
    text.Format(u"");
    EXPECT_TRUE(text.IsEmpty());
}

TEST(TextString, LoadsFromTheProgramsStringTable) {
    TextString text(u"old");
    EXPECT_TRUE(text.LoadString(1));
    EXPECT_EQ(text, u"Operation Complete");
    EXPECT_TRUE(text.LoadString(10));
    EXPECT_EQ(text, u"\\");
    EXPECT_FALSE(text.LoadString(3));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(TextString, FrameworkStringsFallBackToTheFrameworksOwnText) {
    EXPECT_EQ(ui::FrameworkString(61716), u"Please enter no more than %1 characters.");
    EXPECT_EQ(ui::FrameworkString(61703), u"Failed to launch help.");
}

TEST(StringList, WalksHeadToTailInInsertionOrder) {
    StringList list;
    EXPECT_EQ(list.GetHeadPosition(), 0u);
    list.AddTail(TextString(u"Field 3-18-1999 23.05"));
    list.AddTail(TextString(u"Fieldwork 3-18-1999 23.30"));
    list.AddTail(TextString(u"Field 1-1-2000 0.00"));
    EXPECT_EQ(list.GetCount(), 3);
    std::vector<std::u16string> walked;
    for (auto position = list.GetHeadPosition(); position != 0;) {
        walked.push_back(list.GetNext(position).str());
    }
    EXPECT_EQ(walked, (std::vector<std::u16string>{u"Field 3-18-1999 23.05",
                                                   u"Fieldwork 3-18-1999 23.30",
                                                   u"Field 1-1-2000 0.00"}));
    EXPECT_EQ(list.GetAt(1), u"Fieldwork 3-18-1999 23.30");
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHeadPosition(), 0u);
}

}  // namespace
