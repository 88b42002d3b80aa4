// Property: whatever rules the program holds, saving and loading gives them back unchanged.
#include <gtest/gtest.h>

#include <random>

#include "common/TextFile.h"
#include "rules/RulesFile.h"

namespace wrenpost {
namespace {

class RulesGenerator {
public:
    RulesGenerator(std::uint32_t seed, bool wide) : random_(seed), wide_(wide) {}

    RulesFile File() {
        RulesFile file;
        file.Version = Int();
        file.Enabled = Bool();
        for (int n = Count(4); n > 0; --n) {
            file.Rules.push_back(Rule());
        }
        return file;
    }

private:
    NotificationRule Rule() {
        NotificationRule rule;
        rule.Id = Text();
        rule.Name = Text();
        rule.Enabled = Bool();
        rule.Order = Int();
        rule.Version = Int();
        rule.FolderPath = Text();
        rule.ConditionLogic = Text();
        if (rule.ConditionLogic.empty()) {
            rule.ConditionLogic = L"All";  // an empty logic is read back as "All" by design
        }
        for (int n = Count(3); n > 0; --n) {
            rule.Conditions.push_back({Text(), Text(), Text(), Bool()});
        }
        for (int n = Count(3); n > 0; --n) {
            rule.Actions.push_back({Text(), Text()});
        }
        return rule;
    }

    int Count(int max) { return std::uniform_int_distribution<int>(0, max)(random_); }
    bool Bool() { return Count(1) == 1; }

    std::int32_t Int() {
        switch (Count(3)) {
            case 0: return std::uniform_int_distribution<std::int32_t>(-3, 3)(random_);
            case 1: return INT32_MIN;
            case 2: return INT32_MAX;
            default: return std::uniform_int_distribution<std::int32_t>(INT32_MIN, INT32_MAX)(random_);
        }
    }

    // Texts lean on the characters the format treats specially; key names and the syntax of
    // the file itself appear inside values too.
    std::wstring Text() {
        static const std::vector<std::wstring> pieces = {
            L"\"", L"\\", L"\n", L"\r", L"\r\n", L"\t", L"{", L"}", L"[", L"]", L":", L",",
            L" ", L"\"Order\": 5", L"\"Rules\": [", L"\"Value\": \"v\"", L"\"Enabled\": true",
            L"\"Field\": ", L"Action", L"\\\"", L"\x01", std::wstring(1, L'\0'), L"\u00e9",
            L"\u00ff", L"\u0080", L"abc", L"R1", L"\uFEFF"};
        std::wstring text;
        for (int n = Count(6); n > 0; --n) {
            if (Count(3) == 0) {
                text.push_back(static_cast<wchar_t>(Count(0xFF)));
            } else {
                text += pieces[static_cast<std::size_t>(Count(static_cast<int>(pieces.size()) - 1))];
            }
            if (wide_ && Count(4) == 0) {
                AppendWide(text);
            }
        }
        return text;
    }

    void AppendWide(std::wstring& text) {
        static const char32_t wide[] = {0x0100, 0x0418, 0x03A9, 0x4E2D, 0x20AC, 0xFFFD, 0xD7FF,
                                        0xE000, 0x1F600, 0x10FFFF};
        const char32_t c = wide[Count(static_cast<int>(std::size(wide)) - 1)];
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                const char32_t v = c - 0x10000;
                text.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
                text.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
                return;
            }
        }
        text.push_back(static_cast<wchar_t>(c));
    }

    std::mt19937 random_;
    bool wide_;
};

void ExpectTextRoundTrips(bool wide, std::uint32_t seed, int count) {
    RulesGenerator generator(seed, wide);
    for (int i = 0; i < count; ++i) {
        const RulesFile file = generator.File();
        const std::string bytes = EncodeTextFile(FormatRulesFile(file));
        RulesFile back;
        ASSERT_EQ(ParseRulesFileText(DecodeTextFile(bytes), back), RuleLoadResult::Loaded) << i;
        ASSERT_EQ(back, file) << i;
    }
}

TEST(RulesRoundTrip, Latin1TextsComeBackEqual) { ExpectTextRoundTrips(false, 1, 600); }

TEST(RulesRoundTrip, TextsAboveLatin1ComeBackEqual) { ExpectTextRoundTrips(true, 2, 600); }

}  // namespace
}  // namespace wrenpost
