// Bot API texts: percent-encoding, the response readers (checked against std::wregex on
// generated short texts) and JSON string decoding.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/Text.h"
#include "telegram/BotApiText.h"

namespace wrenpost {
namespace {

TEST(UrlEncode, KeepsUnreservedAndEncodesTheUtf8BytesOfEverythingElse) {
    EXPECT_EQ(UrlEncode(L"Az09-._~ &=#+\n\r/?%" + std::wstring(1, L'\0')),
              L"Az09-._~%20%26%3D%23%2B%0A%0D%2F%3F%25%00");
    EXPECT_EQ(UrlEncode(L"\u00e9\u0418" + Utf8ToWide("\xF0\x9F\x98\x80")),
              L"%C3%A9%D0%98%F0%9F%98%80");
}

TEST(OkDetection, OnlyTheTwoExactFormsCount) {
    for (const wchar_t* body : {L"{\"ok\":true}", L"{\"ok\": true}"}) {
        EXPECT_TRUE(ContainsOkTrue(body));
    }
    for (const wchar_t* body : {L"{\"ok\" :true}", L"{\"ok\":  true}", L"{\"ok\":false}", L""}) {
        EXPECT_FALSE(ContainsOkTrue(body));
    }
}

TEST(ParseOkResult, SplitsTheResultArrayIntoTopLevelObjects) {
    // Brackets and escaped quotes inside strings do not count.
    const auto parsed = ParseOkResult(
        L"{\"ok\":true,\"result\":[{\"update_id\":1,\"message\":{\"text\":\"a}]{\\\" \\\\\"}},"
        L"{\"update_id\":2,\"x\":[1,{\"y\":2}]}]}");
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.items.size(), 2u);
    EXPECT_EQ(parsed.items[0], L"{\"update_id\":1,\"message\":{\"text\":\"a}]{\\\" \\\\\"}}");
    EXPECT_EQ(parsed.items[1], L"{\"update_id\":2,\"x\":[1,{\"y\":2}]}");
}

TEST(ParseOkResult, OkWithoutItemsWhenResultIsMissingEmptyOrUnterminated) {
    for (const wchar_t* body :
         {L"{\"ok\":true}", L"{\"ok\":true,\"result\":true}", L"{\"ok\":true,\"result\":[]}",
          L"{\"ok\":true,\"result\":[{\"a\":1}"}) {
        const auto parsed = ParseOkResult(body);
        EXPECT_TRUE(parsed.ok) << WideToUtf8(body);
        EXPECT_TRUE(parsed.items.empty()) << WideToUtf8(body);
        EXPECT_TRUE(parsed.error.empty());
    }
}

TEST(ParseOkResult, NotOkGivesTheDescriptionOrTheGenericText) {
    auto parsed =
        ParseOkResult(L"{\"ok\":false,\"error_code\":401,\"description\" : \"Unauthorized\"}");
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, L"Unauthorized");
    parsed = ParseOkResult(L"{\"ok\":false,\"description\":\"\"}");
    EXPECT_EQ(parsed.error, L"Telegram returned an error.");
    parsed = ParseOkResult(L"{\"ok\" :true,\"result\":[{\"a\":1}]}");
    EXPECT_FALSE(parsed.ok);
    EXPECT_TRUE(parsed.items.empty());
}

TEST(ExtractFields, FirstOccurrenceAnywhereWinsAndValuesStayRaw) {
    const std::wstring item =
        L"{\"message\":{\"from\":{\"id\":7,\"first_name\":\"A\\u00e9\"},\"chat\":{\"id\":-100}}}";
    EXPECT_EQ(ExtractIntField(item, L"id"), 7);
    EXPECT_EQ(ExtractStringField(item, L"first_name"), std::wstring(L"A\\u00e9"));
    EXPECT_EQ(ExtractFlatObject(item, L"chat"), std::wstring(L"\"id\":-100"));
    EXPECT_EQ(ExtractStringField(item, L"last_name"), std::nullopt);
    EXPECT_EQ(ExtractIntField(L"\"id\": -", L"id"), std::nullopt);
}

TEST(ExtractFields, IntegersBeyondSixtyFourBitsAreNotFound) {
    EXPECT_EQ(ExtractIntField(L"\"n\":9223372036854775807", L"n"), 9223372036854775807LL);
    EXPECT_EQ(ExtractIntField(L"\"n\":-9223372036854775808", L"n"),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ExtractIntField(L"\"n\":9223372036854775808", L"n"), std::nullopt);
    EXPECT_EQ(ExtractIntField(L"\"n\":99999999999999999999999,\"n\":1", L"n"), std::nullopt);
}

TEST(ExtractFields, AreLinearOnHugeEscapedTexts) {
    // A 4,096-character message of \u escapes is ~24,000 characters; go far beyond that.
    std::wstring text = L"{\"text\":\"";
    for (int i = 0; i < 200000; ++i) text += L"\\u0418";
    text += L"\",\"date\":5,\"description\":\"";
    text += std::wstring(300000, L'x');
    const auto value = ExtractStringField(text, L"text");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->size(), 1200000u);
    EXPECT_EQ(ExtractIntField(text, L"date"), 5);
    EXPECT_EQ(FindDescription(text), std::nullopt);  // unterminated
    EXPECT_EQ(ParseOkResult(L"{\"ok\":true,\"result\":[" + text).items.size(), 0u);
}

// ---- differential checks against std::wregex on many short generated texts

std::wstring Generate(std::mt19937& random, const std::vector<std::wstring>& pieces) {
    std::uniform_int_distribution<std::size_t> length(0, 12);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::wstring text;
    for (std::size_t n = length(random); n > 0; --n) {
        text += pieces[pick(random)];
    }
    return text;
}

const std::vector<std::wstring> kPieces = {L"\"k\"",    L"\"description\"",
                                           L"\"chat\"", L"\"",
                                           L":",        L" ",
                                           L"\t",       L"\n",
                                           L"\r",       L"a",
                                           L"\\",       L"{",
                                           L"}",        L"-",
                                           L"1",        L"23",
                                           L"k",        L",",
                                           L"\u0418",   L"\"k",
                                           L"[",        L"]"};

std::optional<std::wstring> RegexGroup(const std::wstring& text, const std::wstring& pattern) {
    std::wsmatch m;
    if (std::regex_search(text, m, std::wregex(pattern))) {
        return m[1].str();
    }
    return std::nullopt;
}

TEST(ScannersMatchTheirPatterns, StringDescriptionIntAndFlatObject) {
    std::mt19937 random(11);
    for (int i = 0; i < 30000; ++i) {
        const std::wstring text = Generate(random, kPieces);
        const std::string shown = WideToUtf8(text);
        EXPECT_EQ(ExtractStringField(text, L"k"), RegexGroup(text, LR"re("k"\s*:\s*"([^"]*)")re"))
            << shown;
        EXPECT_EQ(FindDescription(text), RegexGroup(text, LR"re("description"\s*:\s*"([^"]+)")re"))
            << shown;
        EXPECT_EQ(ExtractFlatObject(text, L"chat"),
                  RegexGroup(text, LR"re("chat"\s*:\s*\{([^}]*)\})re"))
            << shown;
        const auto expected = RegexGroup(text, LR"re("k"\s*:\s*(-?\d+))re");
        const auto actual = ExtractIntField(text, L"k");
        ASSERT_EQ(actual.has_value(), expected.has_value()) << shown;
        if (expected) {
            EXPECT_EQ(*actual, std::stoll(*expected)) << shown;
        }
    }
}

TEST(DecodeJsonString, DecodesEscapesAndSurrogatePairs) {
    EXPECT_EQ(DecodeJsonString(L"\\u0418\\u0432\\u0430\\u043d"), L"\u0418\u0432\u0430\u043d");
    EXPECT_EQ(DecodeJsonString(L"a\\\"b\\\\c\\/d\\n"), L"a\"b\\c/d\n");
    EXPECT_EQ(WideToUtf8(DecodeJsonString(L"\\ud83d\\ude00")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeJsonString(L"\\ud83d!"), L"\uFFFD!");
    EXPECT_EQ(DecodeJsonString(L"\\u12x4 \\q \\"), L"\\u12x4 \\q \\");
    // A backslash that ends the value never reads past it.
    EXPECT_EQ(DecodeJsonString(std::wstring_view(L"a\\n").substr(0, 2)), L"a\\");
}

}  // namespace
}  // namespace wrenpost
