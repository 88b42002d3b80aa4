// UTF-8 conversion, lenient and strict, and trimming.
#include <gtest/gtest.h>

#include "common/Text.h"

namespace wrenpost {
namespace {

TEST(TextUtf8, RoundTripsEveryPlane) {
    const std::wstring text = L"A\u00e9\u0418\u20ac" + Utf8ToWide("\xF0\x9F\x98\x80") + L"z";
    const std::string utf8 = "A\xC3\xA9\xD0\x98\xE2\x82\xAC\xF0\x9F\x98\x80z";
    EXPECT_EQ(WideToUtf8(text), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), text);
    std::wstring strict;
    ASSERT_TRUE(Utf8ToWideStrict(utf8, strict));
    EXPECT_EQ(strict, text);
    EXPECT_EQ(Utf16Length(text), 7u);
}

TEST(TextUtf8, InvalidBytesBecomeReplacementCharactersOrFailStrictly) {
    const struct {
        std::string bytes;
        std::wstring lenient;
    } cases[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},
        {"\xC3", L"\uFFFD"},            // truncated sequence
        {"\xE2\x82", L"\uFFFD\uFFFD"},  // truncated three-byte sequence
        {"\x82"
         "a",
         L"\uFFFDa"},                     // lone continuation byte
        {"\xC0\x80", L"\uFFFD"},          // overlong NUL
        {"\xED\xA0\x80", L"\uFFFD"},      // encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD"},  // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.bytes), c.lenient) << c.bytes;
        std::wstring out = L"untouched";
        EXPECT_FALSE(Utf8ToWideStrict(c.bytes, out)) << c.bytes;
        EXPECT_EQ(out, L"untouched");
    }
}

TEST(TextTrim, RemovesOnlySpacesTabsAndLineBreaks) {
    EXPECT_EQ(TrimWhitespace(L" \t\r\n a b \n"), L"a b");
    EXPECT_EQ(TrimWhitespace(L"\u00a0x\u00a0"), L"\u00a0x\u00a0");
    EXPECT_EQ(TrimWhitespace(L" \t "), L"");
}

}  // namespace
}  // namespace wrenpost
