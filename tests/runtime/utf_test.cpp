// UTF-8 <-> UTF-16 round trips and malformed input.
#include "runtime/utf.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(Utf, RoundTripsAllPlanes) {
    // ASCII, Latin-1, CJK, and two non-BMP characters (a musical symbol and an emoji).
    std::string text =
        "plain \xC3\xA9t\xC3\xA9 \xE6\x96\x87\xE4\xBB\xB6 \xF0\x9D\x84\x9E \xF0\x9F\x98\x80";
    std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, u"plain \u00e9t\u00e9 \u6587\u4ef6 \U0001D11E \U0001F600");
    EXPECT_EQ(utf16ToUtf8(wide), text);
    EXPECT_EQ(utf8ToUtf16(""), u"");
    EXPECT_EQ(utf16ToUtf8(u""), "");
}

TEST(Utf, SurrogatePairsForNonBmp) {
    std::u16string wide = utf8ToUtf16("\xF4\x8F\xBF\xBF"); // U+10FFFF
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0], 0xDBFF);
    EXPECT_EQ(wide[1], 0xDFFF);
}

TEST(Utf, MalformedUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* name;
        std::string input;
        std::u16string expected;
    } cases[] = {
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"truncated at end", "a\xE6\x96", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead", "\xFF!", u"\uFFFD!"},
        {"lead then ASCII", "\xC3(", u"\uFFFD("},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.input), c.expected) << c.name;
    }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
    std::u16string highAlone = {u'a', char16_t(0xD83D), u'b'};
    std::u16string lowAlone = {char16_t(0xDE00)};
    EXPECT_EQ(utf16ToUtf8(highAlone), "a\xEF\xBF\xBD"
                                      "b");
    EXPECT_EQ(utf16ToUtf8(lowAlone), "\xEF\xBF\xBD");
}

TEST(Utf, WindowsNamesWithUnpairedSurrogatesRoundTrip) {
    const std::u16string names[] = {
        {u'a', char16_t(0xD83D), u'b'},
        {char16_t(0xDE00)},
        {char16_t(0xDE00), char16_t(0xD83D)},
        {char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
        u"plain \u00e9t\u00e9 \U0001F600",
    };
    for (const std::u16string& name : names) {
        EXPECT_EQ(wtf8ToUtf16(utf16ToWtf8(name)), name) << utf16ToWtf8(name);
    }
    EXPECT_EQ(utf16ToWtf8(std::u16string{u'a', char16_t(0xD83D), u'b'}), "a\xED\xA0\xBD"
                                                                         "b");
    EXPECT_EQ(utf16ToWtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Utf, WindowsNamesRefuseASurrogatePairSpeltAsTwoForms) {
    struct Case {
        const char* name;
        std::string input;
        std::u16string expected;
    } cases[] = {
        {"pair as two forms", "\xED\xA0\xBD\xED\xB8\x80", std::u16string(6, u'\uFFFD')},
        {"lone high", "\xED\xA0\xBDz", {char16_t(0xD83D), u'z'}},
        {"low then high", "\xED\xB8\x80\xED\xA0\xBD", {char16_t(0xDE00), char16_t(0xD83D)}},
        {"truncated surrogate", "\xED\xA0", u"\uFFFD\uFFFD"},
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wtf8ToUtf16(c.input), c.expected) << c.name;
    }
}
