// The JSON text helpers: the string decoder, and key readers that must accept exactly what the
// documented ECMAScript patterns accept (checked against std::wregex on generated short texts).
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <regex>

#include "common/JsonText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

const std::wstring kValue = LR"re("([^"\\]*(?:\\.[^"\\]*)*)")re";

// The first value after "k" that `pattern` matches, as std::wregex finds it.
std::optional<std::wstring> RegexField(const std::wstring& text, const std::wstring& pattern) {
    std::wsmatch m;
    if (std::regex_search(text, m, std::wregex(LR"("k"\s*:\s*)" + pattern))) {
        return m[1].str();
    }
    return std::nullopt;
}

// Each reader gives what its documented pattern finds, or its fallback.
void ExpectReadersAgree(const std::wstring& text) {
    const auto string = RegexField(text, kValue);
    ASSERT_EQ(ReadJsonStringField(text, L"k"), string ? JsonUnescape(*string) : L"")
        << WideToUtf8(text);
    const auto digits = RegexField(text, LR"((\d+))");
    const bool fits = digits && std::stold(*digits) <= 2147483647.0L;
    ASSERT_EQ(ReadJsonIntField(text, L"k"), fits ? std::stoi(*digits) : 10) << WideToUtf8(text);
    const auto flag = RegexField(text, L"(true|false)");
    ASSERT_EQ(ReadJsonBoolField(text, L"k", false), flag == L"true") << WideToUtf8(text);
    ASSERT_EQ(ReadJsonBoolField(text, L"k", true), flag != L"false") << WideToUtf8(text);
}

std::vector<std::vector<std::wstring>> RegexObjects(const std::wstring& text) {
    const std::wregex pattern(LR"(\{\s*"A"\s*:\s*)" + kValue +
                              LR"(\s*,\s*"B"\s*:\s*(true|false)\s*\})");
    std::vector<std::vector<std::wstring>> out;
    for (std::wsregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        out.push_back({JsonUnescape((*it)[1].str()), (*it)[2].str()});
    }
    return out;
}

// A text of up to 14 pieces picked from the '|'-separated list.
std::wstring Generate(std::mt19937& random, std::wstring_view list) {
    std::vector<std::wstring_view> pieces;
    for (std::size_t from = 0, bar = 0; bar != list.npos; from = bar + 1) {
        bar = list.find(L'|', from);
        pieces.push_back(list.substr(from, bar - from));
    }
    std::wstring text;
    for (auto n = random() % 15; n > 0; --n) text += pieces[random() % pieces.size()];
    return text;
}

constexpr std::size_t kWhole = std::wstring_view::npos;  // decoded to the end of the input

struct DecodeCase {
    JsonStringOptions options;
    std::wstring_view input;
    std::wstring_view text;
    std::size_t end = kWhole;
    const char* error = nullptr;
};

// Every case runs through the wide and the byte decoder: the inputs are ASCII, so the byte
// decoder must give the UTF-8 of the wide result at the same position. The Bot API and manifest
// readers' own tests cover the other escapes and errors.
TEST(JsonStringDecoder, DecodesEachCallersFormat) {
    const JsonStringOptions file{.escapes = JsonEscapes::FileLayout};
    const JsonStringOptions manifest{.nonAsciiStandIn = '?', .strict = true};
    const DecodeCase cases[] = {
        {file, LR"(a\"b\\c\/d\n\r\t)", L"a\"b\\c/d\n\r\t"},
        {file, LR"(caf\u00e9 \b\q "x\)", L"cafu00e9 bq \"x\\"},
        {{},
         LR"(\"\\\/\b\f\n\r\t\u04aA\ud83d!\u12x4 \)",  // hex digits a and A, both ends
         L"\"\\/\b\f\n\r\t\u04AA\uFFFD!\\u12x4 \\"},
        {manifest, LR"(caf \u00e9\u007f\u0080\ud83d\ude00\"" tail)", L"caf ?\x7f???\"", 37},
        {manifest, L"a\x1f\"", L"", 1, "control character in string"},
        {manifest, LR"(\u0)", L"", 3, "invalid \\u escape"},
        {{.strict = true}, LR"(\u00e9\ud83d\ude00\ude00"x)", L"\u00e9\U0001F600\uFFFD", 25},
    };
    for (const DecodeCase& c : cases) {
        const auto wide = UnescapeJsonString(c.input, c.options);
        const auto bytes = UnescapeJsonString(WideToUtf8(c.input), c.options);
        const std::size_t end = c.end == kWhole ? c.input.size() : c.end;
        for (const auto& [error, at] :
             {std::pair(wide.error, wide.end), std::pair(bytes.error, bytes.end)}) {
            EXPECT_EQ(at, end) << WideToUtf8(c.input);
            EXPECT_STREQ(error, c.error) << WideToUtf8(c.input);
        }
        if (c.error == nullptr) {
            EXPECT_EQ(wide.text, c.text) << WideToUtf8(c.input);
            EXPECT_EQ(bytes.text, WideToUtf8(c.text)) << WideToUtf8(c.input);
        }
    }
}

// ECMAScript \s, which the std::wregex differentials below cannot check (C locale).
TEST(JsonFieldReaders, PatternSpaceIsEcmaScriptWhiteSpace) {
    for (const wchar_t c : std::wstring_view(
             L"\t\n\v\f\r \u00a0\u1680\u2000\u200a\u2028\u2029\u202f\u205f\u3000\ufeff")) {
        EXPECT_TRUE(IsJsonPatternSpace(c)) << static_cast<int>(c);
    }
    for (const wchar_t c : std::wstring_view(L"\b\x0e\x1f!"
                                             L"\u0085\u009f\u00a1\u1681\u1fff\u200b\u2027\u202a"
                                             L"\u202e\u2030\u205e\u2060\u3001\ufefe")) {
        EXPECT_FALSE(IsJsonPatternSpace(c)) << static_cast<int>(c);
    }
}

TEST(JsonFieldReaders, AgreeWithTheDocumentedPatterns) {
    std::mt19937 random(20251206);
    for (int i = 0; i < 20000; ++i) {
        ExpectReadersAgree(
            Generate(random,
                     L"\"|\\|:| |\t|\n|\r|,|{|}|a|7|0|true|false|tru|\"k\"|\"k\":|\"k\": "
                     L"\"|\\\"|\\n|\u00e9"));
    }
}

TEST(JsonObjects, AgreeWithTheDocumentedObjectPattern) {
    std::mt19937 random(7);
    const std::vector<JsonObjectMember> shape = {{L"A", JsonValueKind::String},
                                                 {L"B", JsonValueKind::Bool}};
    for (int i = 0; i < 20000; ++i) {
        const std::wstring text = Generate(
            random,
            L"{|}|\"A\"|\"B\"|:| |\n|,|\"|\\|x|true|false|{\"A\": \"|\", \"B\": |true}|\\\"");
        ASSERT_EQ(FindJsonObjects(text, shape), RegexObjects(text)) << i;
    }
}

}  // namespace
}  // namespace wrenpost
