#include "framework/display_width.h"
#include "framework/fixed_text.h"
#include "framework/html_text.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly {
namespace {

TEST(FixedText, CutsAtTheWidthInCharactersNeverInsideOne)
{
    FixedText<5> field;
    field = "abcdefgh";
    EXPECT_EQ(field.str(), "abcde");

    field = "ééééééé"; // two bytes each
    EXPECT_EQ(field.str(), "ééééé");
    EXPECT_EQ(utf8::length(field.str()), 5U);

    field = "ab€€€€"; // three-byte characters at the cut
    EXPECT_EQ(field.str(), "ab€€€");

    FixedText<255> location;
    const std::string exact(255, 'x');
    location = exact;
    EXPECT_EQ(location.str(), exact);
    location = exact + "y";
    EXPECT_EQ(location.str(), exact) << "a 256th character is cut off";
}

TEST(FixedText, TrailingBlanksAreNeitherStoredNorCompared)
{
    FixedText<20> a = "News   ";
    const FixedText<20> b = "News";
    EXPECT_EQ(a.str(), "News");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == std::string_view{"News      "});
    EXPECT_EQ(a.padded(), "News                ");
    EXPECT_EQ(a.padded().size(), 20U);

    a = "  lead";
    EXPECT_EQ(a.str(), "  lead") << "only trailing blanks go";
    a = "x    y   ";
    EXPECT_EQ(a.str(), "x    y");
}

TEST(FixedText, PaddedCountsCharactersNotBytes)
{
    const FixedText<4> field = "Zoë";
    EXPECT_EQ(field.padded(), "Zoë ");
}

TEST(Text, CompareIgnoresTrailingBlanksButNotLeadingOnes)
{
    EXPECT_EQ(text::compare("abc", "abc   "), 0);
    EXPECT_LT(text::compare("abc", "abd"), 0);
    EXPECT_GT(text::compare("abc ", "ab"), 0);
    EXPECT_NE(text::compare(" abc", "abc"), 0);
    EXPECT_EQ(text::compare("", "    "), 0);
    EXPECT_LT(text::compare("ABC", "abc"), 0) << "plain comparison keeps letter case";
}

TEST(Text, CaseInsensitiveComparisonFoldsUnicodeLetters)
{
    EXPECT_TRUE(text::equalNoCase("École", "éCOLE"));
    EXPECT_TRUE(text::equalNoCase("ΣΊΣΥΦΟΣ", "σίσυφος"));
    EXPECT_TRUE(text::equalNoCase("straße", "STRAßE"));
    EXPECT_TRUE(text::equalNoCase("Http://Example.COM/", "http://example.com/   "));
    EXPECT_FALSE(text::equalNoCase("resume", "résumé"));
    EXPECT_LT(text::compareNoCase("apple", "Banana"), 0);
    EXPECT_GT(text::compareNoCase("Zebra", "apple"), 0);
    EXPECT_LT(text::compareNoCase("abc", "abcd"), 0);
    EXPECT_GT(text::compareNoCase("_Before All", "zebra"), 0) << "letters compare as capitals";
    EXPECT_TRUE(text::startsWithNoCase("Örebro news", "öREB"));
    EXPECT_FALSE(text::startsWithNoCase("ab", "abc"));
}

TEST(Text, UpperAndLowerMapEveryLetter)
{
    EXPECT_EQ(text::upper("café noël"), "CAFÉ NOËL");
    EXPECT_EQ(text::lower("ÅNGSTRÖM Ωmega"), "ångström ωmega");
    EXPECT_EQ(text::upper("a1-b2_c3"), "A1-B2_C3");
}

TEST(DisplayWidth, WideCharactersTakeTwoPlacesAndMarksNone)
{
    EXPECT_EQ(display::width("Caf\u00e9"), 4U);
    EXPECT_EQ(display::width("Cafe\u0301"), 4U); // the accent sits on its letter
    EXPECT_EQ(display::width("\u6f22\u5b57"), 4U);
    EXPECT_EQ(display::width("\u3072\u3089\u304c\u306a"), 8U);
    EXPECT_EQ(display::width("\ud55c\uae00"), 4U);
    EXPECT_EQ(display::width("\uff21\uff62"), 3U);         // full-width A, half-width bracket
    EXPECT_EQ(display::width("\U0001F600\U00020000"), 4U); // an emoji, a plane-2 ideograph
    EXPECT_EQ(display::width("\u0928\u092e\u0938\u094d\u0924\u0947"), 4U);
    EXPECT_EQ(display::width("a\u200db\u00ad"), 3U);

    // A start that fits: never half a character, its marks kept with it,
    // and a character wider than the room still taken alone.
    EXPECT_EQ(display::fit("\u6f22\u5b57\u6f22", 5), 6U);
    EXPECT_EQ(display::fit("\u6f22\u5b57\u6f22", 6), 9U);
    EXPECT_EQ(display::fit("e\u0301x", 1), 3U);
    EXPECT_EQ(display::fit("\u6f22x", 1), 3U);
    EXPECT_EQ(display::fit("", 3), 0U);
}

TEST(Utf8, MalformedBytesCountAsOneCharacterEach)
{
    const std::string broken = "a\xC3"
                               "b\xFF\xE2\x82";
    EXPECT_EQ(utf8::length(broken), 6U) << "a, C3, b, FF, E2, 82";
    EXPECT_EQ(utf8::prefix(broken, 2), "a\xC3");
    EXPECT_EQ(text::fit(broken, 3), "a\xC3"
                                    "b");
    std::string roundTrip;
    for (std::size_t pos = 0; pos < std::string_view{"€𝄞"}.size();) {
        utf8::append(roundTrip, utf8::decode("€𝄞", pos));
    }
    EXPECT_EQ(roundTrip, "€𝄞");
    EXPECT_EQ(utf8::mid("héllo wörld", 6, 3), "wör");
    EXPECT_EQ(utf8::mid("abc", 10, 3), "");
}

TEST(Utf8, ForeignBytesAreWindows1252CharactersEverywhere)
{
    EXPECT_TRUE(utf8::isValid("café €"));
    EXPECT_FALSE(utf8::isValid("caf\xE9"));
    EXPECT_FALSE(utf8::isValid("\xC3"));
    // Long runs of ASCII are checked eight bytes at a time: a bad byte or a
    // character cut short anywhere after them is still found.
    const std::string ascii(19, 'a');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        std::string text = ascii;
        EXPECT_TRUE(utf8::isValid(text.insert(at, "\xC3\xA9"))) << at;
        text = ascii;
        EXPECT_FALSE(utf8::isValid(text.insert(at, "\xE9"))) << at;
        text = ascii;
        EXPECT_FALSE(utf8::isValid(text.insert(at, "\xE2\x82"))) << at;
    }
    EXPECT_EQ(utf8::valid("caf\xE9 \x80\x96 \x81"), "café €– \u0081");
    EXPECT_EQ(utf8::valid("already ünïcode"), "already ünïcode");
    EXPECT_EQ(utf8::valid("\xED\xA0\x80"), "í\u00A0€") << "a surrogate is three foreign bytes";
    EXPECT_FALSE(text::equalNoCase("caf\xE9", "caf\xE8"));
    EXPECT_TRUE(text::equalNoCase("caf\xE9", "CAFÉ"));
}

TEST(Utf8, ALongRunOfAsciiHidesNoByteAfterIt)
{
    // ASCII runs are passed over a word at a time: a character beyond
    // ASCII at any place of the word, or after it, must still be seen.
    for (std::size_t run = 0; run < 20; ++run) {
        const std::string ascii(run, 'a');
        EXPECT_EQ(utf8::asciiRun(ascii + "\xC3\xA9" + ascii), run);
        EXPECT_TRUE(utf8::isValid(ascii + "\xC3\xA9" + ascii));
        EXPECT_EQ(utf8::length(ascii + "\xC3\xA9" + ascii), 2 * run + 1);
        EXPECT_FALSE(utf8::isValid(ascii + "\xFF" + ascii)) << run;
        EXPECT_EQ(utf8::length(ascii + "\xE2\x82" + ascii), 2 * run + 2) << run;
        EXPECT_FALSE(text::isAscii(ascii + "\x80")) << run;
        EXPECT_TRUE(text::isAscii(ascii + ascii));
    }
    EXPECT_EQ(text::lower(std::string(17, 'A') + "\xC3\x89"), std::string(17, 'a') + "\xC3\xA9");
}

TEST(HtmlText, ReferencesAreDecodedAndOtherAmpersandsKept)
{
    EXPECT_EQ(html::decodeReferences("Caf&eacute; &amp; cr&egrave;me"), "Café & crème");
    EXPECT_EQ(html::decodeReferences("&AElig;&alpha;&ang;&apos;&aring;&zwnj;&zeta;&Zeta;"),
              "Æα∠'å\u200Cζ\u0396")
        << "first, middle and last names of the table";
    EXPECT_EQ(html::decodeReferences("&#39;&#x27;&#X41;&#0;&#xD800;&#1114112;&#150;"),
              "''A\uFFFD\uFFFD\uFFFD–")
        << "NUL, surrogates and beyond Unicode are replaced; 150 is Windows-1252";
    EXPECT_EQ(html::decodeReferences("AT&T &unknown; &amp &#; &#x;"), "AT&T &unknown; & &#; &#x;");
}

TEST(HtmlText, EscapingChangesOnlyTheMarkedCharactersWhereverTheyStand)
{
    using namespace std::string_literals;
    EXPECT_EQ(html::escape(""), "");
    EXPECT_EQ(html::escape("plain text, no marks"), "plain text, no marks");
    EXPECT_EQ(html::escapeAttribute("&a<b>c\"d'e&"), "&amp;a&lt;b&gt;c&quot;d&#39;e&amp;");
    // Controls go, tab and line breaks stay; C2 80-9F is a control, C2 A9 (©) is not.
    EXPECT_EQ(html::escape("\x1b"
                           "a\tb\nc\rd\x7f"
                           "e\xc2\x85"
                           "f\xc2\xa9g"s +
                           '\0'),
              "a\tb\nc\rde"
              "f\xc2\xa9g");
    EXPECT_EQ(html::escape("end \xc2"), "end \xc2") << "a lone lead byte at the end";
    std::string line = "<A>";
    html::appendEscaped(line, "a&b\x01\t");
    html::appendEscaped(line, "");
    EXPECT_EQ(line, "<A>a&amp;b\t");
    EXPECT_EQ(html::escape("Caf\xc3\xa9 & cr\xc3\xa8me"), "Caf\xc3\xa9 &amp; cr\xc3\xa8me");
}

TEST(HtmlText, AddressesAreEncodedForALinkAndScriptLinksNowhere)
{
    EXPECT_EQ(html::escapeAddress("https://example.org/a?x=1&y=2"),
              "https://example.org/a?x=1&amp;y=2");
    EXPECT_EQ(html::escapeAddress("http://h/\"a b'<c>\t\x7f\x01"
                                  "d\xc3\xa9"),
              "http://h/%22a%20b%27%3Cc%3E%09%7F%01d\xc3\xa9");
    EXPECT_EQ(html::escapeAddress(" JavaScript:alert(1)"), "#");
    EXPECT_EQ(html::escapeAddress(""), "");
}

TEST(Text, FoldedKeysOrderByteByByteAsTheCaseRuleDoes)
{
    const std::vector<std::string> texts = {"a",   "A  ", "_x", "Zeta",   "zeta ", "été",
                                            "ÉTÉ", "Ω",   "ω",  "",       "ab",    "a b",
                                            "ß",   "ſ",   "S",  "caf\xE9"};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            const int bytes = text::foldKey(a).compare(text::foldKey(b));
            EXPECT_EQ(bytes < 0 ? -1 : (bytes > 0 ? 1 : 0), text::compareNoCase(a, b))
                << a << " / " << b;
        }
        EXPECT_TRUE(utf8::isValid(text::foldKey(a))) << a;
    }
    EXPECT_EQ(text::foldKey("Été  "), "ÉTÉ");
}

// Folding takes ASCII eight bytes at a time: every byte, at every place in
// a word and before or after a letter that is not ASCII, folds as alone.
TEST(Text, FoldedKeysFoldEveryByteWhereverItStands)
{
    std::string kept;
    for (int byte = 1; byte < 0x80; ++byte) {
        const char c = static_cast<char>(byte);
        const std::string folded =
            byte >= 'a' && byte <= 'z' ? std::string(1, c - 32) : std::string(1, c);
        for (std::size_t at = 0; at < 19; ++at) {
            std::string word(19, '.');
            word[at] = c;
            std::string expected(19, '.');
            expected.replace(at, 1, folded);
            text::foldKeyInto(word, kept);
            EXPECT_EQ(kept, c == ' ' && at == 18 ? expected.substr(0, 18) : expected) << byte;
            EXPECT_EQ(text::foldKey("\xc3\xa9" + word), "\xc3\x89" + kept) << byte;
        }
    }
    text::foldKeyInto("abcdefgh\xc3\xa9ijklmnop  ", kept);
    EXPECT_EQ(kept, "ABCDEFGH\xc3\x89IJKLMNOP");
    text::foldKeyInto("   ", kept);
    EXPECT_EQ(kept, "");
}

} // namespace
} // namespace tessaly
