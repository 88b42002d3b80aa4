// Every generated configuration round-trips through the file encoding. With the differential
// tests of FindJsonObjects (JsonText), this pins the array readers to the documented ECMAScript
// object patterns: a wrong key, order or value kind in a shape breaks the round trip.
#include <gtest/gtest.h>

#include <random>

#include "common/Text.h"
#include "common/TextFile.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {
namespace {

class ConfigGenerator {
public:
    explicit ConfigGenerator(std::uint32_t seed) : random_(seed) {}

    // Short texts rich in what a JSON writer must escape and a key search may trip over.
    std::wstring Text(bool wide = false) {
        static const std::vector<std::wstring> tricky = {
            L"\"",
            L"\\",
            L"\n",
            L"\r",
            L"\t",
            L"{",
            L"}",
            L":",
            L",",
            L" ",
            std::wstring(1, L'\0'),
            L"\u0085",
            L"\u00a0",
            L"\\\"",
            L"\"ChatId\": \"",
            L"\"Title\": \"",
            L"true",
            L"{\"FolderPath\": \"a\", \"Title\": \"b\"}",
            L"\"CheckInterval\": 5"};
        // Whole characters only: a lone UTF-16 surrogate has no UTF-8 form.
        static const std::wstring above = L"\u0418\u03a9\u20ac\u2028\ufeff\uffff";
        std::wstring text;
        for (std::size_t n = Below(13); n > 0; --n) {
            const std::size_t kind = Below(10);
            if (kind < 3) {
                text += tricky[Below(tricky.size())];
            } else if (kind < 4 && wide) {
                text += above[Below(above.size())];
            } else {
                text += static_cast<wchar_t>(Below(0x100));
            }
        }
        return text;
    }

    ProfileConfig Config(bool wide) {
        const auto text = [&] { return Text(wide); };
        // Empty selector values read back as their defaults, as documented.
        const auto nonEmpty = [&] { return L"x" + Text(wide); };
        ProfileConfig c;
        c.ProfileName = text();
        c.Source = nonEmpty();
        c.Operation = nonEmpty();
        c.Provider = nonEmpty();
        c.CheckInterval = static_cast<std::int32_t>(Below(0x80000000u));
        c.IncludeOldMessages = Below(2) == 1;
        c.UseSameTitle = Below(2) == 1;
        c.DefaultTitle = text();
        for (std::size_t n = Below(4); n > 0; --n) {
            c.Recipients.push_back({text(), text(), Below(2) == 1, text(), text()});
            c.SelectedFolders.push_back({text(), text(), text(), text(), text(), text(), 0});
            c.FolderTitles.push_back({text(), text()});
        }
        return c;
    }

    std::size_t Below(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }

private:
    std::mt19937 random_;
};

TEST(ProfileConfigRoundTrip, AnyConfigurationComesBackEqualThroughTheFileEncoding) {
    ConfigGenerator generate(20251206);
    for (int i = 0; i < 2000; ++i) {
        const bool wide = i % 10 == 0;
        ProfileConfig config = generate.Config(wide);
        if (wide) {
            config.Recipients.push_back(
                {L"42", L"\u0418\u0432\u0430\u043d " + Utf8ToWide("\xF0\x9F\x98\x80"), true, L"",
                 L"Never"});
        }
        // One byte per character, or the whole file as UTF-8 behind a byte-order mark.
        const std::string bytes = EncodeTextFile(FormatProfileConfig(config));
        ASSERT_EQ(bytes.substr(0, 3), wide ? "\xEF\xBB\xBF" : "{\r\n") << i;
        ASSERT_EQ(ParseProfileConfig(DecodeTextFile(bytes)), config) << i;
    }
}

}  // namespace
}  // namespace wrenpost
