// The rules file's signed integer reader against its documented ECMAScript pattern (std::wregex
// on generated short texts; the rules-file tests cross the array, object and bracket scanners).
// The generated texts use ASCII white space only: libstdc++'s \s follows the C locale there,
// while the reader takes ECMAScript's \s.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/Text.h"
#include "rules/RuleJsonReaders.h"

namespace wrenpost {
namespace {

// "k"\s*:\s*(-?\d+) converted with std::stoi, whose out_of_range is the reader's error.
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

TEST(RuleFieldReaders, SignedIntegerAgreesWithThePattern) {
    const std::wstring_view pieces[] = {
        L"\"",     L"\\",        L":", L" ",          L"\t",         L"\n",          L"-",
        L"--",     L"0",         L"7", L"2147483647", L"2147483648", L"99999999999", L"\"k\"",
        L"\"k\":", L"\"k\" : -", L"k", L"x",          L","};
    std::mt19937 random(4242);
    for (int i = 0; i < 12000; ++i) {
        std::wstring text;
        for (auto n = random() % 15; n > 0; --n) text += pieces[random() % std::size(pieces)];
        std::int32_t value = 12345;
        const IntFieldRead read = ReadSignedIntField(text, L"k", value);
        ASSERT_EQ(std::pair(read, value), RegexInt(text)) << i << " [" << WideToUtf8(text) << "]";
    }
}

}  // namespace
}  // namespace wrenpost
