// The JSON text helpers: escaping, and key readers that must accept exactly what the documented
// ECMAScript patterns accept (checked against std::wregex on generated short texts).
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

std::wstring Generate(std::mt19937& random, const std::vector<std::wstring>& pieces) {
    std::uniform_int_distribution<std::size_t> length(0, 14);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::wstring text;
    for (std::size_t n = length(random); n > 0; --n) {
        text += pieces[pick(random)];
    }
    return text;
}

TEST(JsonEscape, EscapesOnlyTheFiveCharacters) {
    EXPECT_EQ(JsonEscape(L"A\"B\\C\n\r\t/\u00e9\x01"), L"A\\\"B\\\\C\\n\\r\\t/\u00e9\x01");
    EXPECT_EQ(JsonUnescape(JsonEscape(L"A\"B\\C\n\r\t")), L"A\"B\\C\n\r\t");
}

constexpr std::size_t kWhole = std::wstring_view::npos;  // decoded to the end of the input

struct DecodeCase {
    JsonStringOptions options;
    std::wstring_view input;
    std::wstring_view text;
    std::size_t end;
    const char* error;
};

// Every case runs through the wide and the byte decoder: the inputs are ASCII, so the byte
// decoder must give the UTF-8 of the wide result at the same position.
TEST(JsonStringDecoder, DecodesEachCallersFormat) {
    const JsonStringOptions file{.escapes = JsonEscapes::FileLayout};
    const JsonStringOptions bot{};
    const JsonStringOptions manifest{.nonAsciiStandIn = '?', .strict = true};
    const JsonStringOptions strictFull{.strict = true};
    const DecodeCase cases[] = {
        {file, LR"(a\"b\\c\/d\n\r\t)", L"a\"b\\c/d\n\r\t", kWhole, nullptr},
        {file, LR"(caf\u00e9 \b\q "x)", L"cafu00e9 bq \"x", kWhole, nullptr},
        {file, LR"(end\)", LR"(end\)", kWhole, nullptr},
        {bot, LR"(\"\\\/\b\f\n\r\t")", L"\"\\/\b\f\n\r\t\"", kWhole, nullptr},
        {bot, LR"(\u0418\u0061\u00E9\u00e9\u00Af\u00aF\u0039)", L"\u0418a\u00e9\u00e9\u00af\u00af9",
         kWhole, nullptr},
        {bot, LR"(\ud83d\ude00\uD83D\uDE00)", L"\U0001F600\U0001F600", kWhole, nullptr},
        {bot, LR"(\ud83d!\ude00\ud83d\u0041\ud83d)", L"\uFFFD!\uFFFD\uFFFDA\uFFFD", kWhole,
         nullptr},
        {bot, LR"(\ud83d\ude0)", L"\uFFFD\\ude0", kWhole, nullptr},
        {bot, LR"(\u12x4 \q \u00 \)", LR"(\u12x4 \q \u00 \)", kWhole, nullptr},
        {manifest, LR"(caf \u00e9\u007f\u0080\ud83d\ude00\"" tail)", L"caf ?\x7f???\"", 37,
         nullptr},
        {manifest, L"\"", L"", 1, nullptr},
        {manifest, L"ab", L"", 2, "unterminated string"},
        {manifest, L"a\x1f\"", L"", 1, "control character in string"},
        {manifest, L"a\\", L"", 2, "unterminated escape"},
        {manifest, LR"(a\q")", L"", 2, "invalid escape"},
        {manifest, LR"(\u00g0")", L"", 4, "invalid \\u escape"},
        {manifest, LR"(\u0)", L"", 3, "invalid \\u escape"},
        {strictFull, LR"(\u00e9\ud83d\ude00\ude00"x)", L"\u00e9\U0001F600\uFFFD", 25, nullptr},
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
    for (const std::uint32_t c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0xA0, 0x1680, 0x2000, 0x200A,
                                  0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0xFEFF}) {
        EXPECT_TRUE(IsJsonPatternSpace(static_cast<wchar_t>(c))) << c;
    }
    for (const std::uint32_t c : {0x08, 0x0E, 0x1F, 0x21, 0x85, 0x9F, 0xA1, 0x1681, 0x1FFF, 0x200B,
                                  0x2027, 0x202A, 0x202E, 0x2030, 0x205E, 0x2060, 0x3001, 0xFEFE}) {
        EXPECT_FALSE(IsJsonPatternSpace(static_cast<wchar_t>(c))) << c;
    }
}

TEST(JsonFieldReaders, AMegabyteValueReadsBackWhole) {
    const std::wstring big(1 << 20, L'x');
    const std::wstring text = L"{\"Big\": \"" + big + L"\\\"\", \"Flag\": true}";
    EXPECT_EQ(ReadJsonStringField(text, L"Big"), big + L"\"");
    EXPECT_TRUE(ReadJsonBoolField(text, L"Flag", false));
    const std::wstring unterminated = L"\"K\": \"" + std::wstring(1 << 20, L'\\');
    EXPECT_EQ(ReadJsonStringField(unterminated, L"K"), L"");
}

TEST(JsonFieldReaders, AgreeWithTheDocumentedPatterns) {
    // The first occurrence anywhere wins; numbers out of range and other spellings fall back.
    for (const wchar_t* text :
         {L"{\"o\": {\"k\": \"inner\"}, \"k\": \"outer\"}", L"\"k\": -5", L"\"k\": \"20\"",
          L"\"k\":0", L"\"k\": 2147483647", L"\"k\": 2147483648", L"\"k\": 99999999999999999999999",
          L"\"k\": \"x\", \"k\": 7", L"\"k\": TRUE", L"\"k\" :\r\n true", L"\"k\": false"}) {
        ExpectReadersAgree(text);
    }
    std::mt19937 random(20251206);
    const std::vector<std::wstring> pieces = {
        L"\"",    L"\\",     L":",         L" ",    L"\t",  L"\n",    L"\r",    L",",
        L"{",     L"}",      L"a",         L"7",    L"0",   L"true",  L"false", L"tru",
        L"\"k\"", L"\"k\":", L"\"k\": \"", L"\\\"", L"\\n", L"\u00e9"};
    for (int i = 0; i < 20000; ++i) {
        ExpectReadersAgree(Generate(random, pieces));
    }
}

TEST(JsonObjects, AgreeWithTheDocumentedObjectPattern) {
    std::mt19937 random(7);
    const std::vector<std::wstring> pieces = {
        L"{",  L"}", L"\"A\"", L"\"B\"", L":",          L" ",           L"\n",    L",",   L"\"",
        L"\\", L"x", L"true",  L"false", L"{\"A\": \"", L"\", \"B\": ", L"true}", L"\\\""};
    const std::vector<JsonObjectMember> shape = {{L"A", JsonValueKind::String},
                                                 {L"B", JsonValueKind::Bool}};
    for (int i = 0; i < 20000; ++i) {
        const std::wstring text = Generate(random, pieces);
        ASSERT_EQ(FindJsonObjects(text, shape), RegexObjects(text)) << i;
    }
}

}  // namespace
}  // namespace wrenpost
