// The rules-file readers against the documented ECMAScript patterns (std::wregex on generated
// short texts), plus long inputs that a recursive matcher could not take. The generated texts use
// ASCII white space only: libstdc++'s \s follows the C locale there, while the readers take
// ECMAScript's \s (no-break and Unicode spaces too), as the shared profile readers do.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/Text.h"
#include "rules/RuleJsonReaders.h"
#include "rules/RulesFile.h"

namespace wrenpost {
namespace {

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

// "KEY"\s*:\s*(-?\d+) converted with std::stoi, whose out_of_range is the reader's error.
std::pair<IntFieldRead, std::int32_t> RegexInt(const std::wstring& text) {
    std::wsmatch m;
    if (!std::regex_search(text, m, std::wregex(LR"("k"\s*:\s*(-?\d+))"))) {
        return {IntFieldRead::Absent, 12345};
    }
    try {
        return {IntFieldRead::Read, static_cast<std::int32_t>(std::stoi(m[1].str()))};
    } catch (const std::out_of_range&) {
        return {IntFieldRead::OutOfRange, 12345};
    }
}

// After the key, a plain bracket count outside string literals (a backslash in a string skips
// the next character); empty when the array never closes.
std::wstring RegexArray(const std::wstring& text) {
    std::wsmatch m;
    if (!std::regex_search(text, m, std::wregex(LR"("k"\s*:\s*\[)")))
        return L"";
    const auto start = static_cast<std::size_t>(m.position(0) + m.length(0));
    bool inString = false;
    for (std::size_t i = start, depth = 1; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (inString) {
            i += c == L'\\';
            inString = c != L'"';
        } else if (c == L'"' || c == L'[') {
            inString = c == L'"';
            depth += c == L'[';
        } else if (c == L']' && --depth == 0) {
            return text.substr(start, i - start);
        }
    }
    return L"";
}

TEST(RuleFieldReaders, SignedIntegerAndArrayAgreeWithThePatterns) {
    std::mt19937 random(4242);
    for (int i = 0; i < 12000; ++i) {
        std::wstring text =
            Generate(random,
                     L"\"|\\|:| |\t|\n|\r|-|--|0|7|9|2147483647|2147483648|"
                     L"99999999999|\"k\"|\"k\":|\"k\": |\"k\" : -|k|\u00e9|x|,|{|}");
        std::int32_t value = 12345;
        const IntFieldRead read = ReadSignedIntField(text, L"k", value);
        ASSERT_EQ(std::pair(read, value), RegexInt(text)) << i << " [" << WideToUtf8(text) << "]";
        text = Generate(random,
                        L"\"|\\|\\\"|:| |\n|[|]|{|}|,|a|\"k\"|\"k\":|\"k\": [|\"k\" :[|"
                        L"\"k\": \"[\"|]]|\u00e9");
        ASSERT_EQ(std::wstring(ReadJsonArrayField(text, L"k")), RegexArray(text)) << i;
    }
    // ECMAScript white space includes the no-break and ideographic spaces; std::wregex does not.
    std::int32_t value = 0;
    EXPECT_EQ(ReadSignedIntField(L"\"k\"\u3000:\u00a03x", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(ReadSignedIntField(L"\"k\": -2147483648", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, INT32_MIN);
}

TEST(RuleFieldReaders, ObjectSplitterAndOwnMembersSkipStringsAndNestedContent) {
    // Strings are walked everywhere, stray '}' ignored, an object open at the end dropped.
    EXPECT_EQ(
        SplitJsonObjects(
            L" x {\"a\": {\"b\": 1}} , } \"{\" {\"s\": \"}\\\"{\"}{} \"\\\"{\" {\"o\""),
        (std::vector<std::wstring_view>{L"{\"a\": {\"b\": 1}}", L"{\"s\": \"}\\\"{\"}", L"{}"}));
    EXPECT_EQ(OwnMembersOf(L"{\"a\": [1, {\"v\": \"]\"}], \"v\": \"x{\", \"o\": {\"v\": 2}}"),
              L"{\"a\": , \"v\": \"x{\", \"o\": }");
}

TEST(RuleFieldReaders, LongInputsTakeNoStackAndReadBackWhole) {
    const std::wstring big(1 << 20, L'x');
    RulesFile file;
    ASSERT_EQ(ParseRulesFileText(L"{\"Version\": 1, \"Enabled\": true, \"Rules\": [{\"Name\": \"" +
                                     big + L"\", \"Conditions\": [" + std::wstring(200000, L'[') +
                                     std::wstring(200000, L']') + L"]}]}",
                                 file),
              RuleLoadResult::Loaded);
    EXPECT_EQ(file.Rules.at(0).Name, big);
    // Many keys without values and a long run of digits.
    std::wstring keys;
    for (int i = 0; i < 100000; ++i) keys += L"\"Order\": x";
    std::int32_t value = 0;
    EXPECT_EQ(
        ReadSignedIntField(keys + L"\"Order\": " + std::wstring(100000, L'1'), L"Order", value),
        IntFieldRead::OutOfRange);
    EXPECT_FALSE(HasBalancedBrackets(std::wstring(1 << 20, L'{')));
    EXPECT_TRUE(HasBalancedBrackets(std::wstring(1 << 20, L'[') + std::wstring(1 << 20, L']')));
}

}  // namespace
}  // namespace wrenpost
