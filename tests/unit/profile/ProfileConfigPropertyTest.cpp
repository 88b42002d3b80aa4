// Properties of the profile file over many generated inputs: every configuration round-trips, and
// the array readers accept exactly what the documented ECMAScript object patterns accept.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "common/JsonText.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "profile/ProfileConfig.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

// ---------------------------------------------------------------- generated configurations

class ConfigGenerator {
public:
    ConfigGenerator(std::uint32_t seed, std::vector<wchar_t> extra)
        : random_(seed), extra_(extra) {}

    std::wstring Text(std::size_t maxLength = 12) {
        static const std::vector<std::wstring> tricky = {
            L"\"", L"\\", L"\n", L"\r", L"\t", L"{", L"}", L":", L",", L" ", std::wstring(1, L'\0'),
            L"\u0085", L"\u00a0", L"\u00ff", L"\\\"", L"\"ChatId\": \"", L"\"Title\": \"",
            L"{\"FolderPath\": \"a\", \"Title\": \"b\"}", L"\"CheckInterval\": 5"};
        std::wstring text;
        for (std::size_t n = Below(maxLength + 1); n > 0; --n) {
            const std::size_t kind = Below(10);
            if (kind < 3) {
                text += tricky[Below(tricky.size())];
            } else if (kind < 4 && !extra_.empty()) {
                text.push_back(extra_[Below(extra_.size())]);
            } else {
                text.push_back(static_cast<wchar_t>(Below(0x100)));
            }
        }
        return text;
    }

    std::wstring NonEmptyText() {
        std::wstring text = Text();
        return text.empty() ? std::wstring(L"x") : text;
    }

    bool Flag() { return Below(2) == 1; }

    ProfileConfig Config() {
        ProfileConfig c;
        c.ProfileName = Text();
        // Empty selector values read back as their defaults, as documented.
        c.Source = NonEmptyText();
        c.Operation = NonEmptyText();
        c.Provider = NonEmptyText();
        c.CheckInterval = static_cast<std::int32_t>(Below(0x80000000u));
        c.IncludeOldMessages = Flag();
        c.UseSameTitle = Flag();
        c.DefaultTitle = Text();
        for (std::size_t n = Below(4); n > 0; --n) {
            c.Recipients.push_back({Text(), Text(), Flag(), Text(), Text()});
        }
        for (std::size_t n = Below(4); n > 0; --n) {
            c.SelectedFolders.push_back({Text(), Text(), Text(), Text(), Text(), Text(), 0});
        }
        for (std::size_t n = Below(4); n > 0; --n) {
            c.FolderTitles.push_back({Text(), Text()});
        }
        return c;
    }

    std::size_t Below(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }

private:
    std::mt19937 random_;
    std::vector<wchar_t> extra_;
};

TEST(ProfileConfigRoundTrip, AnyLatin1ConfigurationComesBackEqual) {
    ConfigGenerator generate(20251206, {});
    for (int i = 0; i < 2000; ++i) {
        const ProfileConfig config = generate.Config();
        // Through the file's encoding: one byte per character, no byte-order mark.
        const std::string bytes = EncodeTextFile(FormatProfileConfig(config));
        ASSERT_EQ(bytes.substr(0, 3), "{\r\n");
        ASSERT_EQ(ParseProfileConfig(DecodeTextFile(bytes)), config) << i;
    }
}

TEST(ProfileConfigRoundTrip, CharactersAboveLatin1SurviveTheFile) {
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    // Whole characters only: a lone UTF-16 surrogate has no UTF-8 form.
    ConfigGenerator generate(
        77, {L'\u0418', L'\u0432', L'\u03a9', L'\u20ac', L'\u2028', L'\ufeff', L'\uffff'});
    TempDir dir;
    for (int i = 0; i < 100; ++i) {
        ProfileConfig config = generate.Config();
        config.Recipients.push_back(
            {L"42", L"\u0418\u0432\u0430\u043d " + emoji, true, L"2025-03-07 14:05:09", L"Never"});
        const auto path = dir / L"WideConfig.json";
        ProfileConfigStore store;
        ASSERT_TRUE(store.WriteProfileConfig(path, config));
        ASSERT_EQ(ReadAllBytes(path).substr(0, 4), "\xEF\xBB\xBF{");
        ProfileConfigStore reader;
        ASSERT_TRUE(reader.ReadProfileConfig(path));
        ASSERT_EQ(reader.Current(), config) << i;
    }
}

// ---------------------------------------------------------------- the documented patterns

const std::wstring kRecipientPattern =
    LR"re(\{\s*"ChatId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"DisplayName"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"Allowed"\s*:\s*(true|false)\s*,\s*"RegisteredOn"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"LastNotification"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re";
const std::wstring kFolderPattern =
    LR"re(\{\s*"Name"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"FolderPath"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"EntryId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"StoreId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"StoreName"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"DetectedOn"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re";
const std::wstring kTitlePattern =
    LR"re(\{\s*"FolderPath"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"Title"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re";

std::vector<std::vector<std::wstring>> AllMatches(const std::wstring& text,
                                                  const std::wregex& pattern) {
    std::vector<std::vector<std::wstring>> out;
    for (std::wsregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        std::vector<std::wstring> groups;
        for (std::size_t g = 1; g < it->size(); ++g) {
            groups.push_back((*it)[g].str());
        }
        out.push_back(std::move(groups));
    }
    return out;
}

struct RegexReading {
    std::vector<RecipientEntry> recipients;
    std::vector<SelectedFolder> folders;
    std::vector<FolderTitle> titles;
};

RegexReading ReadWithRegex(const std::wstring& text) {
    static const std::wregex recipient(kRecipientPattern);
    static const std::wregex folder(kFolderPattern);
    static const std::wregex title(kTitlePattern);
    RegexReading reading;
    for (const auto& g : AllMatches(text, recipient)) {
        reading.recipients.push_back({JsonUnescape(g[0]), JsonUnescape(g[1]), g[2] == L"true",
                                      JsonUnescape(g[3]), JsonUnescape(g[4])});
    }
    for (const auto& g : AllMatches(text, folder)) {
        reading.folders.push_back({JsonUnescape(g[0]), JsonUnescape(g[1]), JsonUnescape(g[2]),
                                   JsonUnescape(g[3]), JsonUnescape(g[4]), JsonUnescape(g[5]), 0});
    }
    for (const auto& g : AllMatches(text, title)) {
        reading.titles.push_back({JsonUnescape(g[0]), JsonUnescape(g[1])});
    }
    return reading;
}

// One array object of a random shape, with random spacing and short values, so that whole
// matches are common and small mutations of them probe every boundary.
std::wstring ObjectText(std::mt19937& random) {
    static const std::vector<std::vector<std::wstring>> shapes = {
        {L"ChatId", L"DisplayName", L"Allowed", L"RegisteredOn", L"LastNotification"},
        {L"Name", L"FolderPath", L"EntryId", L"StoreId", L"StoreName", L"DetectedOn"},
        {L"FolderPath", L"Title"}};
    static const std::vector<std::wstring> spaces = {L"", L" ", L"\n      ", L"\t", L"\r\n"};
    static const std::vector<std::wstring> values = {L"",       L"a",   L"\\\"", L"\\\\", L"x y",
                                                     L"\u00e9", L"\\n", L"{",    L"}"};
    auto pick = [&random](const std::vector<std::wstring>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const auto& keys = shapes[std::uniform_int_distribution<std::size_t>(0, 2)(random)];
    std::wstring text = L"{";
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (k > 0) {
            text += pick(spaces) + L",";
        }
        text += pick(spaces) + L"\"" + keys[k] + L"\"" + pick(spaces) + L":" + pick(spaces);
        if (keys[k] == L"Allowed") {
            text += pick({L"true", L"false"});
        } else {
            text += L"\"" + pick(values) + L"\"";
        }
    }
    return text + pick(spaces) + L"}";
}

std::wstring Mutate(std::wstring text, std::mt19937& random) {
    static const std::vector<std::wstring> pieces = {
        L"{", L"}", L"\"", L"\\", L" ", L"\n", L",", L":", L"x", L"true", L"fals", L"\\\"",
        L"\"ChatId\"", L"\"Title\"", L"\"FolderPath\"", L"\"Name\"", L"\u00e9"};
    const int edits = std::uniform_int_distribution<int>(0, 3)(random);
    for (int e = 0; e < edits && !text.empty(); ++e) {
        const std::size_t at =
            std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
        switch (std::uniform_int_distribution<int>(0, 2)(random)) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, pieces[std::uniform_int_distribution<std::size_t>(
                                    0, pieces.size() - 1)(random)]);
                break;
            default:
                text.insert(at, text.substr(at, 12));
                break;
        }
    }
    return text;
}

TEST(ProfileConfigArrays, AgreeWithTheDocumentedObjectPatterns) {
    std::mt19937 random(4242);
    for (int i = 0; i < 4000; ++i) {
        std::wstring text;
        const int objects = std::uniform_int_distribution<int>(1, 3)(random);
        for (int o = 0; o < objects; ++o) {
            text += ObjectText(random) + (o % 2 ? L",\n" : L" ");
        }
        text = Mutate(std::move(text), random);
        const ProfileConfig parsed = ParseProfileConfig(text);
        const RegexReading expected = ReadWithRegex(text);
        ASSERT_EQ(parsed.Recipients, expected.recipients) << i;
        ASSERT_EQ(parsed.SelectedFolders, expected.folders) << i;
        ASSERT_EQ(parsed.FolderTitles, expected.titles) << i;
    }
}

}  // namespace
}  // namespace wrenpost
