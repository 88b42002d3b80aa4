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

// Short texts rich in what a JSON writer must escape and a key search may trip over; whole
// characters only, as a lone UTF-16 surrogate has no UTF-8 form.
std::wstring Text(std::mt19937& random, bool wide) {
    static const std::wstring single(L"\"\\\n\r\t{}:, \0\u0085\u00a0", 13);
    static const std::wstring tricky[] = {
        L"\\\"", L"\"ChatId\": \"",       L"\"Title\": \"",
        L"true", L"\"CheckInterval\": 5", L"{\"FolderPath\": \"a\", \"Title\": \"b\"}"};
    static const std::wstring above = L"\u0418\u03a9\u20ac\u2028\ufeff\uffff";
    const auto below = [&](std::size_t n) { return std::size_t(random() % n); };
    std::wstring text;
    for (std::size_t n = below(13); n > 0; --n) {
        const std::size_t kind = below(10);
        if (kind < 2) {
            text += single[below(single.size())];
        } else if (kind < 3) {
            text += tricky[below(std::size(tricky))];
        } else {
            text += kind < 4 && wide ? above[below(above.size())] : wchar_t(below(0x100));
        }
    }
    return text;
}

TEST(ProfileConfigRoundTrip, AnyConfigurationComesBackEqualThroughTheFileEncoding) {
    std::mt19937 random(20251206);
    for (int i = 0; i < 2000; ++i) {
        const bool wide = i % 10 == 0;
        const auto text = [&] { return Text(random, wide); };
        // Empty selector values read back as their defaults, as documented.
        ProfileConfig c;
        c.ProfileName = text();
        for (auto* selector : {&c.Source, &c.Operation, &c.Provider}) {
            *selector = L"x" + text();  // empty ones read back as their defaults, as documented
        }
        c.CheckInterval = std::int32_t(random() & 0x7fffffff);
        c.IncludeOldMessages = random() % 2 == 1;
        c.UseSameTitle = random() % 2 == 1;
        c.DefaultTitle = text();
        for (std::size_t n = random() % 4; n > 0; --n) {
            c.Recipients.push_back({text(), text(), random() % 2 == 1, text(), text()});
            c.SelectedFolders.push_back({text(), text(), text(), text(), text(), text(), 0});
            c.FolderTitles.push_back({text(), text()});
        }
        if (wide) {
            c.Recipients.push_back(
                {L"42", L"\u0418 " + Utf8ToWide("\xF0\x9F\x98\x80"), true, L"", L"Never"});
        }
        // One byte per character, or the whole file as UTF-8 behind a byte-order mark.
        const std::string bytes = EncodeTextFile(FormatProfileConfig(c));
        ASSERT_EQ(bytes.substr(0, 3), wide ? "\xEF\xBB\xBF" : "{\r\n") << i;
        ASSERT_EQ(ParseProfileConfig(DecodeTextFile(bytes)), c) << i;
    }
}

}  // namespace
}  // namespace wrenpost
