// Bot API texts: percent-encoding, the response readers (checked against std::wregex on
// generated short texts), JSON string decoding, the length cap and the failure texts.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/Text.h"
#include "telegram/BotApiText.h"

namespace wrenpost {
namespace {

TEST(UrlEncode, KeepsUnreservedAndEncodesTheUtf8BytesOfEverythingElse) {
    EXPECT_EQ(UrlEncode(L"Az09-._~"), L"Az09-._~");
    EXPECT_EQ(UrlEncode(L"a&b=c#d+e"), L"a%26b%3Dc%23d%2Be");
    EXPECT_EQ(UrlEncode(L"x y\nz\r"), L"x%20y%0Az%0D");
    EXPECT_EQ(UrlEncode(L"/?%"), L"%2F%3F%25");
    EXPECT_EQ(UrlEncode(std::wstring(1, L'\0')), L"%00");
    EXPECT_EQ(UrlEncode(L"\u00e9\u0418\u0432"), L"%C3%A9%D0%98%D0%B2");
    EXPECT_EQ(UrlEncode(Utf8ToWide("\xF0\x9F\x98\x80")), L"%F0%9F%98%80");
    EXPECT_EQ(UrlEncode(L"-1001234567890"), L"-1001234567890");  // negative chat ids unchanged
}

TEST(OkDetection, OnlyTheTwoExactFormsCount) {
    EXPECT_TRUE(ContainsOkTrue(L"{\"ok\":true}"));
    EXPECT_TRUE(ContainsOkTrue(L"{\"ok\": true}"));
    EXPECT_FALSE(ContainsOkTrue(L"{\"ok\" :true}"));
    EXPECT_FALSE(ContainsOkTrue(L"{\"ok\":  true}"));
    EXPECT_FALSE(ContainsOkTrue(L"{\"ok\":false}"));
    EXPECT_FALSE(ContainsOkTrue(L""));
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
}

TEST(CapMessageText, CutsLongerTextsToTheLimitWithAnEllipsisNeverSplittingAPair) {
    const std::wstring exact(kTelegramMaxTextUnits, L'a');
    EXPECT_EQ(CapMessageText(exact), exact);
    const std::wstring capped = CapMessageText(std::wstring(5000, L'b'));
    EXPECT_EQ(capped, std::wstring(4095, L'b') + L"\u2026");
    // 4,094 units, then an emoji straddling the cut: it is dropped whole.
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    const std::wstring text = std::wstring(4094, L'c') + emoji + std::wstring(10, L'd');
    EXPECT_EQ(CapMessageText(text), std::wstring(4094, L'c') + L"\u2026");
}

TEST(FailureTexts, WinHttpNumbers) {
    // The bot check rows cover the other numbers.
    EXPECT_EQ(DescribeWinHttpError(12175), L"TLS/SSL handshake failed");
    EXPECT_EQ(DescribeWinHttpError(12157), L"Network error");
    EXPECT_EQ(FormatConnectError(12002),
              L"The connection to Telegram timed out. Please check your internet connection and "
              L"try again.");
    EXPECT_EQ(FormatConnectError(12029),
              L"Could not connect to Telegram: Failed to connect to Telegram API (WinHTTP error "
              L"12029).");
}

}  // namespace
}  // namespace wrenpost
