// Bot API texts: percent-encoding and the response readers (checked against std::wregex).
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>

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
         {L"{\"ok\":true,\"result\":true}", L"{\"ok\":true,\"result\":[{\"a\":1}"}) {
        const auto empty = ParseOkResult(body);
        EXPECT_TRUE(empty.ok && empty.items.empty() && empty.error.empty()) << WideToUtf8(body);
    }
    // Not ok: the description, or the generic text.
    const std::pair<const wchar_t*, const wchar_t*> failures[] = {
        {L"{\"ok\":false,\"error_code\":401,\"description\" : \"Unauthorized\"}", L"Unauthorized"},
        {L"{\"ok\":false,\"description\":\"\"}", L"Telegram returned an error."},
        {L"{\"ok\":false,\"description\":\"\x01\x0b\x7f\"}", L"Telegram returned an error."},
        {L"{\"ok\" :true,\"result\":[{\"a\":1}]}", L"Telegram returned an error."}};
    for (const auto& [body, error] : failures) {
        const auto failed = ParseOkResult(body);
        EXPECT_TRUE(!failed.ok && failed.items.empty() && failed.error == error)
            << WideToUtf8(body);
    }
}

TEST(ExtractFields, FirstOccurrenceAnywhereWinsValuesStayRawAndIntegersFitSixtyFourBits) {
    EXPECT_EQ(ExtractStringField(L"{\"a\":{\"n\":\"A\\u00e9\"}}", L"n"), std::wstring(L"A\\u00e9"));
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
    EXPECT_EQ(ExtractStringField(text, L"text").value_or(L"").size(), 1200000u);
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
    std::vector<std::wstring> pieces;  // split at '|'
    std::wstringstream all(
        L"\"k\"|\"description\"|\"chat\"|\"|:| |\t|\n|\r|a|\\|{|}|-|1|23|k|,|\u0418|\"k|[|]");
    for (std::wstring piece; std::getline(all, piece, L'|');) pieces.push_back(piece);
    std::mt19937 random(11);
    for (int i = 0; i < 10000; ++i) {
        std::wstring text;
        for (auto n = random() % 13; n > 0; --n) text += pieces[random() % pieces.size()];
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

}  // namespace
}  // namespace wrenpost
