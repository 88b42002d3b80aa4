// The profile file over generated configurations and near misses of them.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/JsonText.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {
namespace {

// Short texts rich in what a JSON writer must escape and a key search may trip over; whole
// characters only, as a lone UTF-16 surrogate has no UTF-8 form.
std::wstring Text(std::mt19937& random, bool wide) {
    static const std::wstring single(L"\"\\\n\r\t{}:, \0\u0085\u00a0", 13);
    static const std::wstring tricky[] = {L"\"ChatId\": \"",
                                          L"{\"FolderPath\": \"a\", \"Title\": \"b\"}"};
    static const std::wstring above = L"\u0418\u03a9\u20ac\u2028\ufeff\uffff";
    std::wstring text;
    for (std::size_t n = random() % 13; n > 0; --n) {
        const std::size_t kind = random() % 10;
        text += kind < 2   ? std::wstring(1, single[random() % single.size()])
                : kind < 3 ? tricky[random() % 2]
                           : std::wstring(1, kind < 4 && wide ? above[random() % above.size()]
                                                              : wchar_t(random() % 0x100));
    }
    return text;
}

// Every generated configuration comes back equal through the file encoding; after a few random
// edits, recipients are read exactly where the documented ECMAScript pattern matches (the other
// arrays share the object scanner, whose differential test lives with JsonText).
TEST(ProfileConfigFile, RoundTripsAndReadsRecipientsWhereTheDocumentedPatternMatches) {
    const std::wstring value = LR"re(\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)")re";
    const std::wregex pattern(LR"(\{\s*"ChatId")" + value + LR"(\s*,\s*"DisplayName")" + value +
                              LR"(\s*,\s*"Allowed"\s*:\s*(true|false)\s*,\s*"RegisteredOn")" +
                              value + LR"(\s*,\s*"LastNotification")" + value + LR"(\s*\})");
    std::mt19937 random(20251206);
    for (int i = 0; i < 1000; ++i) {
        const bool wide = i % 10 == 0;
        const auto text = [&] { return Text(random, wide); };
        ProfileConfig c;
        c.ProfileName = text();
        for (auto* selector : {&c.Source, &c.Operation, &c.Provider}) {
            *selector = L"x" + text();  // empty ones read back as their defaults, as documented
        }
        c.CheckInterval = std::int32_t(random() & 0x7fffffff);
        c.IncludeOldMessages = random() % 2 == 1;
        c.UseSameTitle = random() % 2 == 1;
        c.DefaultTitle = text() + (wide ? L"\u0418" + Utf8ToWide("\xF0\x9F\x98\x80") : L"");
        for (std::size_t n = random() % 4; n > 0; --n) {
            c.Recipients.push_back({text(), text(), random() % 2 == 1, text(), text()});
            c.SelectedFolders.push_back({text(), text(), text(), text(), text(), text(), 0});
            c.FolderTitles.push_back({text(), text()});
            c.RecipientTopics.push_back({L"x" + text(), 1 + std::int64_t(random() % 0x7fffffff)});
        }
        c.Message = {MessageContent(random() % 3), std::int32_t(1 + random() % 1000),
                     {random() % 2 == 1, std::uint8_t(random() % 128),
                      std::int32_t(random() % 1440), std::int32_t(random() % 1440)},
                     random() % 2 == 1, std::int32_t(2 + random() % 49)};
        // One byte per character, or the whole file as UTF-8 behind a byte-order mark.
        const std::string bytes = EncodeTextFile(FormatProfileConfig(c));
        ASSERT_EQ(bytes.substr(0, 3), wide ? "\xEF\xBB\xBF" : "{\r\n") << i;
        std::wstring file = DecodeTextFile(bytes);
        ASSERT_EQ(ParseProfileConfig(file), c) << i;

        // Near misses: a few random edits among the recipients.
        const std::size_t from = file.find(L"\"Recipients\""), to = file.find(L"\"CheckInterval\"");
        for (int e = random() % 4; e > 0; --e) {
            static const std::wstring pieces[] = {L"{", L"}", L"\"", L"\\", L",", L" ", L"tru"};
            const std::size_t at = from + random() % (to - from);
            random() % 2 ? file.erase(at, 1) : file.insert(at, pieces[random() % 7]);
        }
        std::vector<RecipientEntry> expected;
        for (std::wsregex_iterator it(file.begin(), file.end(), pattern), end; it != end; ++it) {
            const auto group = [&](int n) { return JsonUnescape((*it)[n].str()); };
            expected.push_back({group(1), group(2), (*it)[3] == L"true", group(4), group(5)});
        }
        ASSERT_EQ(ParseProfileConfig(file).Recipients, expected) << i;
    }
}

}  // namespace
}  // namespace wrenpost
