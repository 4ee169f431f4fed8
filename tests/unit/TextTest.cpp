#include "clipboard/ClipboardText.h"
#include "lookup/LookupService.h"
#include "text/ByteWords.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace vorda::test {
namespace {

struct EncodingCase {
    std::u16string text;
    std::string prepared;
};

class PrepareLookupTextCase : public testing::TestWithParam<EncodingCase> {};

TEST_P(PrepareLookupTextCase, TrimsSpacesAndPercentEncodesUtf8)
{
    EXPECT_EQ(ToUtf8(PrepareLookupText(GetParam().text)), GetParam().prepared);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrepareLookupTextCase,
    testing::Values(EncodingCase{u"  new york  ", "new%20york"}, EncodingCase{u"new  york", "new%20%20york"},
                    EncodingCase{u"salt & pepper", "salt%20%26%20pepper"}, EncodingCase{u"C#", "C%23"},
                    EncodingCase{u"C++", "C%2B%2B"}, EncodingCase{u"100%", "100%25"},
                    EncodingCase{u"\"quoted\"", "%22quoted%22"}, EncodingCase{u"line\r\n", "line%0D%0A"},
                    EncodingCase{u"\tword", "%09word"}, EncodingCase{u"caf\u00e9", "caf%C3%A9"},
                    EncodingCase{u"a/b?c=d", "a%2Fb%3Fc%3Dd"}, EncodingCase{u"-._~AZaz09", "-._~AZaz09"},
                    EncodingCase{u"\U0001F600", "%F0%9F%98%80"}, EncodingCase{u"x\xD800y", "x%EF%BF%BDy"},
                    EncodingCase{u"\xDC00", "%EF%BF%BD"}, EncodingCase{std::u16string(u"a\0b", 3), "a%00b"},
                    EncodingCase{u"   ", ""}, EncodingCase{u"", ""}));

TEST(Text, TrimRemovesOnlySpaces)
{
    EXPECT_TRUE(TrimSpaces(u"  a b  ") == u"a b");
    EXPECT_TRUE(TrimSpaces(u"\t a \n") == u"\t a \n");
    EXPECT_TRUE(TrimSpaces(u"    ").empty());
    EXPECT_TRUE(TrimSpaces(u"\u00a0x\u00a0") == u"\u00a0x\u00a0");
}

TEST(Text, QuoteCutsAfterTwentyUnits)
{
    const std::u16string twenty(20, u'a');
    EXPECT_TRUE(QuoteForCaption(twenty) == twenty + u"'");
    EXPECT_TRUE(QuoteForCaption(twenty + u"b") == twenty + u"...'");
    EXPECT_TRUE(QuoteForCaption(u"") == u"'");
}

TEST(Text, Windows1252HoldsLatinAndFallsBackToQuestionMark)
{
    EXPECT_EQ(ToWindows1252(u"caf\u00e9 \u20ac\u2019"), "caf\xE9 \x80\x92");
    EXPECT_EQ(ToWindows1252(u"\u03a9"), "?");
    EXPECT_EQ(ToWindows1252(u"\U0001F600"), "?") << "a surrogate pair is one character";
    EXPECT_EQ(ToWindows1252(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text, Utf8RoundTripsAndReplacesMalformedBytes)
{
    const std::u16string text = u"caf\u00e9 \u20ac \U0001F600";
    EXPECT_TRUE(FromUtf8(ToUtf8(text)) == text);
    EXPECT_TRUE(FromUtf8("a\xFF" "b") == u"a\uFFFDb");
    EXPECT_TRUE(FromUtf8("\xE2\x82") == u"\uFFFD\uFFFD") << "truncated sequence";
    EXPECT_TRUE(FromUtf8("\xC0\xAF") == u"\uFFFD\uFFFD") << "overlong form";
    EXPECT_TRUE(FromUtf8("\xED\xA0\x80") == u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
}

// An owner that offers no forms hands over no bytes at all; a torn last word is left out.
TEST(Text, WordsFromBytesTakesWholeWordsInThisMachinesOrder)
{
    EXPECT_TRUE(WordsFromBytes({}).empty());
    EXPECT_TRUE(WordsFromBytes(std::string_view("abc", 3)).empty());
    const std::vector<std::uint32_t> words = {0x01020304U, 0xFFFFFFFFU, 7U};
    std::string bytes(words.size() * 4, '\0');
    std::memcpy(bytes.data(), words.data(), bytes.size());
    EXPECT_EQ(WordsFromBytes(bytes), words);
    EXPECT_EQ(WordsFromBytes(bytes + "xy"), words);
}

} // namespace
} // namespace vorda::test
