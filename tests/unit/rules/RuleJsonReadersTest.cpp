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

std::wstring Generate(std::mt19937& random, const std::vector<std::wstring>& pieces,
                      std::size_t maxPieces = 14) {
    std::uniform_int_distribution<std::size_t> length(0, maxPieces);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::wstring text;
    for (std::size_t n = length(random); n > 0; --n) {
        text += pieces[pick(random)];
    }
    return text;
}

// "KEY"\s*:\s*(-?\d+) converted with std::stoi, whose out_of_range is the reader's error.
std::pair<IntFieldRead, std::int32_t> RegexInt(const std::wstring& text, const std::wstring& key) {
    std::wsmatch m;
    if (!std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*(-?\d+))"))) {
        return {IntFieldRead::Absent, 0};
    }
    try {
        return {IntFieldRead::Read, static_cast<std::int32_t>(std::stoi(m[1].str()))};
    } catch (const std::out_of_range&) {
        return {IntFieldRead::OutOfRange, 0};
    }
}

// Bracket matching written as the plain loop the description gives, after a regex finds the key.
std::wstring RegexArray(const std::wstring& text, const std::wstring& key) {
    std::wsmatch m;
    if (!std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*\[)"))) {
        return L"";
    }
    const std::size_t start = static_cast<std::size_t>(m.position(0) + m.length(0));
    int depth = 1;
    bool inString = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (inString) {
            if (c == L'\\') {
                ++i;
            } else if (c == L'"') {
                inString = false;
            }
        } else if (c == L'"') {
            inString = true;
        } else if (c == L'[') {
            ++depth;
        } else if (c == L']' && --depth == 0) {
            return text.substr(start, i - start);
        }
    }
    return L"";
}

TEST(RuleFieldReaders, SignedIntegerAgreesWithThePattern) {
    std::mt19937 random(4242);
    const std::vector<std::wstring> pieces = {
        L"\"", L"\\", L":", L" ", L"\t", L"\n", L"\r", L"-", L"--", L"0", L"7", L"9",
        L"2147483647", L"2147483648", L"99999999999", L"\"k\"", L"\"k\":", L"\"k\": ",
        L"\"k\" : -", L"k", L"\u00e9", L"x", L",", L"{", L"}"};
    for (int i = 0; i < 12000; ++i) {
        const std::wstring text = Generate(random, pieces);
        std::int32_t value = 12345;
        const IntFieldRead read = ReadSignedIntField(text, L"k", value);
        const auto expected = RegexInt(text, L"k");
        ASSERT_EQ(read, expected.first) << i << " [" << WideToUtf8(text) << "]";
        if (read == IntFieldRead::Read) {
            ASSERT_EQ(value, expected.second) << i;
        } else {
            ASSERT_EQ(value, 12345) << i;
        }
    }
}

TEST(RuleFieldReaders, SignedIntegerLimits) {
    std::int32_t value = 0;
    EXPECT_EQ(ReadSignedIntField(L"\"k\": -2147483648", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_EQ(ReadSignedIntField(L"\"k\": -0", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ReadSignedIntField(L"\"k\": -2147483649", L"k", value), IntFieldRead::OutOfRange);
    EXPECT_EQ(ReadSignedIntField(L"\"k\": - 5, \"k\": 6", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, 6);
    // ECMAScript white space includes the no-break and ideographic spaces.
    EXPECT_EQ(ReadSignedIntField(L"\"k\"\u3000:\u00a03x", L"k", value), IntFieldRead::Read);
    EXPECT_EQ(value, 3);
}

TEST(RuleFieldReaders, ArrayReaderAgreesWithThePattern) {
    std::mt19937 random(99);
    const std::vector<std::wstring> pieces = {
        L"\"", L"\\", L"\\\"", L":", L" ", L"\n", L"[", L"]", L"{", L"}", L",", L"a",
        L"\"k\"", L"\"k\":", L"\"k\": [", L"\"k\" :[", L"\"k\": \"[\"", L"]]", L"\u00e9"};
    for (int i = 0; i < 12000; ++i) {
        const std::wstring text = Generate(random, pieces);
        ASSERT_EQ(std::wstring(ReadJsonArrayField(text, L"k")), RegexArray(text, L"k")) << i;
    }
}

TEST(RuleFieldReaders, ObjectSplitterCutsTopLevelObjects) {
    const std::wstring text =
        L" x {\"a\": {\"b\": 1}} , } \"{\" {\"s\": \"}\\\"{\"}{} {\"open\": 1";
    const auto objects = SplitJsonObjects(text);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0], L"{\"a\": {\"b\": 1}}");
    EXPECT_EQ(objects[1], L"{\"s\": \"}\\\"{\"}");
    EXPECT_EQ(objects[2], L"{}");
}

TEST(RuleFieldReaders, ObjectSplitterAgreesWithAPlainDepthCount) {
    // Outside the cut objects the splitter keeps no state but the string walk; rebuilding each
    // object's own depth count must give zero at its end and never reach zero before.
    std::mt19937 random(5);
    const std::vector<std::wstring> pieces = {L"{", L"}", L"\"", L"\\", L"a", L" ", L"[", L"]"};
    for (int i = 0; i < 20000; ++i) {
        const std::wstring text = Generate(random, pieces, 20);
        std::size_t searchFrom = 0;
        for (const std::wstring_view object : SplitJsonObjects(text)) {
            ASSERT_GE(object.size(), 2u);
            ASSERT_EQ(object.front(), L'{');
            ASSERT_EQ(object.back(), L'}');
            const std::size_t at = static_cast<std::size_t>(object.data() - text.data());
            ASSERT_GE(at, searchFrom) << i;
            searchFrom = at + object.size();
            int depth = 0;
            bool inString = false;
            for (std::size_t k = 0; k < object.size(); ++k) {
                const wchar_t c = object[k];
                if (inString) {
                    if (c == L'\\') ++k;
                    else if (c == L'"') inString = false;
                } else if (c == L'"') {
                    inString = true;
                } else if (c == L'{') {
                    ++depth;
                } else if (c == L'}') {
                    --depth;
                    ASSERT_TRUE(depth > 0 || k + 1 == object.size()) << i;
                }
            }
            ASSERT_EQ(depth, 0) << i;
        }
    }
}

TEST(RuleFieldReaders, OwnMembersLeaveOutNestedContent) {
    EXPECT_EQ(OwnMembersOf(L"{\"a\": [1, {\"v\": \"]\"}], \"v\": \"x{\", \"o\": {\"v\": 2}}"),
              L"{\"a\": , \"v\": \"x{\", \"o\": }");
}

TEST(RuleFieldReaders, LongInputsTakeNoStackAndReadBackWhole) {
    const std::wstring big(1 << 20, L'x');
    std::wstring text = L"{\"Version\": 1, \"Enabled\": true, \"Rules\": [{\"Name\": \"" + big +
                        L"\", \"Conditions\": [" + std::wstring(200000, L'[') +
                        std::wstring(200000, L']') + L"]}]}";
    RulesFile file;
    ASSERT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Loaded);
    EXPECT_EQ(file.Rules.at(0).Name, big);
    // Many keys without values and a long run of digits.
    std::wstring keys;
    for (int i = 0; i < 100000; ++i) {
        keys += L"\"Order\": x";
    }
    keys += L"\"Order\": " + std::wstring(100000, L'1');
    std::int32_t value = 0;
    EXPECT_EQ(ReadSignedIntField(keys, L"Order", value), IntFieldRead::OutOfRange);
    EXPECT_FALSE(HasBalancedBrackets(std::wstring(1 << 20, L'{')));
    EXPECT_TRUE(HasBalancedBrackets(std::wstring(1 << 20, L'[') + std::wstring(1 << 20, L']')));
}

}  // namespace
}  // namespace wrenpost
