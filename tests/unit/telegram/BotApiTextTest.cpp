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

TEST(ParseOkResult, OnlyTheTwoExactOkFormsCountAndTheResultSplitsIntoTopLevelObjects) {
    EXPECT_TRUE(ContainsOkTrue(L"{\"ok\":true}") && ContainsOkTrue(L"{\"ok\": true}"));
    for (const wchar_t* body : {L"{\"ok\" :true}", L"{\"ok\":  true}", L"{\"ok\":false}", L""}) {
        EXPECT_FALSE(ContainsOkTrue(body));
    }
    // Brackets and escaped quotes inside strings do not count.
    const auto parsed = ParseOkResult(
        L"{\"ok\":true,\"result\":[{\"update_id\":1,\"message\":{\"text\":\"a}]{\\\" \\\\\"}},"
        L"{\"update_id\":2,\"x\":[1,{\"y\":2}]}]}");
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.items, (std::vector<std::wstring>{
                                L"{\"update_id\":1,\"message\":{\"text\":\"a}]{\\\" \\\\\"}}",
                                L"{\"update_id\":2,\"x\":[1,{\"y\":2}]}"}));
    // Ok without items when the result is missing, empty or unterminated.
    for (const wchar_t* body :
         {L"{\"ok\":true}", L"{\"ok\":true,\"result\":true}", L"{\"ok\":true,\"result\":[]}",
          L"{\"ok\":true,\"result\":[{\"a\":1}"}) {
        const auto empty = ParseOkResult(body);
        EXPECT_TRUE(empty.ok && empty.items.empty() && empty.error.empty()) << WideToUtf8(body);
    }
    // Not ok: the description, or the generic text.
    const std::pair<const wchar_t*, const wchar_t*> failures[] = {
        {L"{\"ok\":false,\"error_code\":401,\"description\" : \"Unauthorized\"}", L"Unauthorized"},
        {L"{\"ok\":false,\"description\":\"\"}", L"Telegram returned an error."},
        {L"{\"ok\" :true,\"result\":[{\"a\":1}]}", L"Telegram returned an error."}};
    for (const auto& [body, error] : failures) {
        const auto failed = ParseOkResult(body);
        EXPECT_FALSE(failed.ok);
        EXPECT_TRUE(failed.items.empty());
        EXPECT_EQ(failed.error, error);
    }
}

TEST(ExtractFields, FirstOccurrenceAnywhereWinsValuesStayRawAndIntegersFitSixtyFourBits) {
    const std::wstring item =
        L"{\"message\":{\"from\":{\"id\":7,\"first_name\":\"A\\u00e9\"},\"chat\":{\"id\":-100}}}";
    EXPECT_EQ(ExtractIntField(item, L"id"), 7);
    EXPECT_EQ(ExtractStringField(item, L"first_name"), std::wstring(L"A\\u00e9"));
    EXPECT_EQ(ExtractFlatObject(item, L"chat"), std::wstring(L"\"id\":-100"));
    // A value that is not an object does not end the search; a number ends with its text.
    EXPECT_EQ(ExtractFlatObject(L"\"chat\":1,\"chat\":{\"id\":2}", L"chat"), L"\"id\":2");
    EXPECT_EQ(ExtractIntField(std::wstring_view(L"\"n\":12345").substr(0, 6), L"n"), 12);
    EXPECT_EQ(ExtractIntField(L"\"n\":9223372036854775807", L"n"), INT64_MAX);
    EXPECT_EQ(ExtractIntField(L"\"n\":-9223372036854775808", L"n"), INT64_MIN);
    EXPECT_EQ(ExtractIntField(L"\"n\":9223372036854775808", L"n"), std::nullopt);
    EXPECT_EQ(ExtractIntField(L"\"n\":99999999999999999999999,\"n\":1", L"n"), std::nullopt);
}

TEST(ExtractFields, AreLinearOnHugeEscapedTexts) {
    // A 4,096-character message of \u escapes is ~24,000 characters; go far beyond that.
    std::wstring text = L"{\"text\":\"";
    for (int i = 0; i < 200000; ++i) text += L"\\u0418";
    text += L"\",\"date\":5,\"description\":\"" + std::wstring(300000, L'x');
    const auto value = ExtractStringField(text, L"text");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->size(), 1200000u);
    EXPECT_EQ(ExtractIntField(text, L"date"), 5);
    EXPECT_EQ(FindDescription(text), std::nullopt);  // unterminated
    EXPECT_EQ(ParseOkResult(L"{\"ok\":true,\"result\":[" + text).items.size(), 0u);
}

std::optional<std::wstring> RegexGroup(const std::wstring& text, const wchar_t* pattern) {
    std::wsmatch m;
    return std::regex_search(text, m, std::wregex(pattern)) ? std::optional(m[1].str())
                                                            : std::nullopt;
}

TEST(ScannersMatchTheirPatterns, StringDescriptionIntAndFlatObject) {
    const std::wstring_view pieces[] = {L"\"k\"",    L"\"description\"",
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
    std::mt19937 random(11);
    for (int i = 0; i < 30000; ++i) {
        std::wstring text;
        for (auto n = random() % 13; n > 0; --n) text += pieces[random() % std::size(pieces)];
        const std::string shown = WideToUtf8(text);
        EXPECT_EQ(ExtractStringField(text, L"k"), RegexGroup(text, LR"re("k"\s*:\s*"([^"]*)")re"))
            << shown;
        EXPECT_EQ(FindDescription(text), RegexGroup(text, LR"re("description"\s*:\s*"([^"]+)")re"))
            << shown;
        EXPECT_EQ(ExtractFlatObject(text, L"chat"),
                  RegexGroup(text, LR"("chat"\s*:\s*\{([^}]*)\})"))
            << shown;
        // Digits beyond 64 bits are not a number.
        std::optional<std::int64_t> number;
        try {
            number = std::stoll(RegexGroup(text, LR"("k"\s*:\s*(-?\d+))").value_or(L"x"));
        } catch (const std::logic_error&) {
        }
        EXPECT_EQ(ExtractIntField(text, L"k"), number) << shown;
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
