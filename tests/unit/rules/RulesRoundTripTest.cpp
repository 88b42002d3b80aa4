// Property: whatever rules the program holds, saving and loading gives them back unchanged.
#include <gtest/gtest.h>

#include <random>

#include "common/TextFile.h"
#include "rules/RulesFile.h"

namespace wrenpost {
namespace {

using namespace std::literals;

class RulesGenerator {
public:
    RulesGenerator(std::uint32_t seed, bool wide) : random_(seed), wide_(wide) {}

    RulesFile File() {
        RulesFile file{Int(), Count(1) == 1, {}};
        for (int n = Count(4); n > 0; --n) {
            NotificationRule rule{Text(), Text(), Count(1) == 1, Int(), Int(), Text(), Text()};
            if (rule.ConditionLogic.empty()) {
                rule.ConditionLogic = L"All";  // an empty logic is read back as "All" by design
            }
            for (int k = Count(3); k > 0; --k) {
                rule.Conditions.push_back({Text(), Text(), Text(), Count(1) == 1});
            }
            for (int k = Count(3); k > 0; --k) {
                rule.Actions.push_back({Text(), Text()});
            }
            file.Rules.push_back(std::move(rule));
        }
        return file;
    }

private:
    int Count(int max) { return std::uniform_int_distribution<int>(0, max)(random_); }

    std::int32_t Int() {
        const std::int32_t picks[] = {Count(6) - 3, INT32_MIN, INT32_MAX,
                                      static_cast<std::int32_t>(random_())};
        return picks[Count(3)];
    }

    // Texts lean on the characters the format treats specially; key names and the syntax of
    // the file itself appear inside values too. Wide texts add characters above U+00FF,
    // surrogate pairs included.
    std::wstring Text() {
        static const std::vector<std::wstring_view> pieces = Split(
            L"\"|\\|\n|\r|\r\n|\t|{|}|[|]|:|,| |\"Order\": 5|\"Rules\": [|\"Value\": \"v\"|"
            L"\"Enabled\": true|\"Field\": |Action|\\\"|\x01|\0|\u00e9|\u00ff|\u0080|abc|R1|\uFEFF"sv);
        static const std::vector<std::wstring_view> wide =
            Split(L"\u0100|\u0418|\u4E2D|\uFFFD|\uD7FF|\uE000|\U0001F600|\U0010FFFF"sv);
        std::wstring text;
        for (int n = Count(6); n > 0; --n) {
            if (Count(3) == 0) {
                text.push_back(static_cast<wchar_t>(Count(0xFF)));
            } else {
                text += pieces[Count(static_cast<int>(pieces.size()) - 1)];
            }
            if (wide_ && Count(4) == 0) {
                text += wide[Count(static_cast<int>(wide.size()) - 1)];
            }
        }
        return text;
    }

    static std::vector<std::wstring_view> Split(std::wstring_view list) {
        std::vector<std::wstring_view> pieces;
        for (std::size_t from = 0, bar = 0; bar != list.npos; from = bar + 1) {
            bar = list.find(L'|', from);
            pieces.push_back(list.substr(from, bar - from));
        }
        return pieces;
    }

    std::mt19937 random_;
    bool wide_;
};

TEST(RulesRoundTrip, Latin1AndWiderTextsComeBackEqual) {
    for (const bool wide : {false, true}) {
        RulesGenerator generator(wide ? 2 : 1, wide);
        for (int i = 0; i < 600; ++i) {
            const RulesFile file = generator.File();
            RulesFile back;
            ASSERT_EQ(
                ParseRulesFileText(DecodeTextFile(EncodeTextFile(FormatRulesFile(file))), back),
                RuleLoadResult::Loaded)
                << i;
            ASSERT_EQ(back, file) << wide << " " << i;
        }
    }
}

}  // namespace
}  // namespace wrenpost
