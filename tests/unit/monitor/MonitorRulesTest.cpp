// The monitor's rules step fails closed: which rules decide a mail an Ignore rule is meant for,
// for each state of the rules file, with and without rules read earlier in the session, and the
// warning logged once per episode of failing reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/Text.h"
#include "monitor/MonitorRules.h"
#include "rules/RulesFile.h"
#include "support/RuleSamples.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

enum class FileState { Absent, Blank, Good, Corrupt, Folder };

const wchar_t* const kEarlierTime = L"2025-03-07 09:00:00";
const wchar_t* const kNowTime = L"2025-03-07 09:05:00";
const wchar_t* const kHeld = L"new mail is held until it can be read.";

std::wstring UsingRulesReadAt(const wchar_t* time) {
    return L"using the rules read at " + std::wstring(time) + L".";
}

// Whatever was at the path makes way. A folder there is the portable "exists but cannot be read".
void MakeFile(const std::filesystem::path& path, FileState state) {
    std::filesystem::remove_all(path);
    switch (state) {
        case FileState::Absent:
            break;
        case FileState::Blank:
            WriteAllBytes(path, " \r\n\t\r\n");
            break;
        case FileState::Good:
            ASSERT_TRUE(SaveRulesFile(path, IgnoringSpam(L"current")));
            break;
        case FileState::Corrupt:
            WriteAllBytes(path, "{\"Version\": 1, \"Enabled\": true, \"Rules\": [");
            break;
        case FileState::Folder:
            std::filesystem::create_directory(path);
            break;
    }
}

// "held" (nothing sent, no rule named), "sent" (no rule held it back) or the deciding rule.
std::wstring WhoDecides(const MonitorRules& rules) {
    MailSnapshot spam;
    spam.FolderPath = L"\\\\Mailbox\\Inbox";
    spam.Subject = L"Cheap spam";
    const RuleDecision decision = rules.Evaluate(spam);
    if (decision.ShouldSend) {
        return L"sent";
    }
    return decision.MatchedRuleName.empty() ? L"held" : decision.MatchedRuleName;
}

// `pattern` with one '*' standing for any text (the system's reason).
bool Matches(const std::wstring& line, const std::wstring& pattern) {
    const std::size_t star = pattern.find(L'*');
    if (star == std::wstring::npos) {
        return line == pattern;
    }
    const std::wstring head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    return line.size() > head.size() + tail.size() && line.starts_with(head) &&
           line.ends_with(tail);
}

class MonitorRulesTest : public ::testing::Test {
protected:
    // Reads as a cycle at `time` does and returns the lines it logged.
    std::vector<std::wstring> Reload(const wchar_t* time = kNowTime) {
        std::vector<std::wstring> lines;
        rules.Reload(
            path, [&](const std::wstring& line) { lines.push_back(line); }, time);
        return lines;
    }
    std::wstring Warning(const std::wstring& reason, const std::wstring& outcome) const {
        return L"WARNING: The Notification Rules file " + path.wstring() + L" cannot be read (" +
               reason + L"); " + outcome;
    }

    TempDir dir;
    std::filesystem::path path = dir / L"WorkRules.json";
    MonitorRules rules;
};

// Each case is a new session; "read earlier" is a good read of rules named "earlier" before the
// file takes its state. A good file holds rules named "current".
TEST_F(MonitorRulesTest, EachFileStateWithAndWithoutRulesReadEarlier) {
    const std::wstring none = L"Notification Rules loaded: 0 rules.",
                       one = L"Notification Rules loaded: 1 rules.",
                       earlier = UsingRulesReadAt(kEarlierTime), held = kHeld;
    const struct {
        FileState state;
        bool readEarlier;
        bool usable, enabled;
        std::wstring decides;
        std::wstring firstLine;  // of this read's log; '*' is the system's reason
    } cases[] = {
        {FileState::Absent, false, true, false, L"sent", none},
        {FileState::Absent, true, true, false, L"sent", none},
        {FileState::Blank, false, true, false, L"sent", none},
        {FileState::Blank, true, true, false, L"sent", none},
        {FileState::Good, false, true, true, L"current", one},
        {FileState::Good, true, true, true, L"current", one},
        {FileState::Corrupt, false, false, false, L"held", Warning(L"it is damaged", held)},
        {FileState::Corrupt, true, true, true, L"earlier", Warning(L"it is damaged", earlier)},
        {FileState::Folder, false, false, false, L"held", Warning(L"*", held)},
        {FileState::Folder, true, true, true, L"earlier", Warning(L"*", earlier)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(c.state) << " " << c.readEarlier);
        rules.NewSession();
        if (c.readEarlier) {
            MakeFile(path, FileState::Absent);
            ASSERT_TRUE(SaveRulesFile(path, IgnoringSpam(L"earlier")));
            Reload(kEarlierTime);
        }
        MakeFile(path, c.state);
        const std::vector<std::wstring> lines = Reload();
        EXPECT_EQ(rules.Usable(), c.usable);
        EXPECT_EQ(rules.Enabled(), c.enabled);
        EXPECT_EQ(WhoDecides(rules), c.decides);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(Matches(lines.front(), c.firstLine)) << WideToUtf8(lines.front());
    }
}

// A bad read after a good one warns once; further bad reads, whatever their reason, add nothing
// until a read finds rules or no file again; the next bad read then warns again.
TEST_F(MonitorRulesTest, WarnsOncePerEpisodeOfFailingReads) {
    const auto warnings = [](const std::vector<std::wstring>& lines) {
        return std::count_if(lines.begin(), lines.end(),
                             [](const std::wstring& l) { return l.starts_with(L"WARNING: "); });
    };
    MakeFile(path, FileState::Good);
    ASSERT_EQ(Reload(kEarlierTime).size(), 2u);  // the count, and switched on
    MakeFile(path, FileState::Corrupt);
    EXPECT_EQ(Reload(), (std::vector{Warning(L"it is damaged", UsingRulesReadAt(kEarlierTime))}));
    EXPECT_TRUE(Reload().empty());
    MakeFile(path, FileState::Folder);
    EXPECT_TRUE(Reload().empty());
    EXPECT_EQ(WhoDecides(rules), L"current");

    MakeFile(path, FileState::Good);
    EXPECT_EQ(warnings(Reload(kNowTime)), 0);
    MakeFile(path, FileState::Corrupt);
    const std::vector<std::wstring> again = Reload(L"2025-03-07 09:10:00");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0].ends_with(UsingRulesReadAt(kNowTime)));

    // A file that is gone ends the episode too; the rules read before it still stand in later.
    MakeFile(path, FileState::Absent);
    EXPECT_EQ(warnings(Reload()), 0);
    MakeFile(path, FileState::Folder);
    EXPECT_EQ(warnings(Reload()), 1);
    EXPECT_EQ(WhoDecides(rules), L"current");
}

TEST_F(MonitorRulesTest, RulesSwitchedOffAreKeptSwitchedOffAndTheirWarningStaysAsBefore) {
    RulesFile off = IgnoringSpam(L"off");
    off.Enabled = false;
    ASSERT_TRUE(SaveRulesFile(path, off));
    const std::vector<std::wstring> lines = Reload(kEarlierTime);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], L"Notification Rules disabled.");
    EXPECT_TRUE(lines[2].starts_with(L"WARNING: 1 notification rule(s) are configured"));
    MakeFile(path, FileState::Folder);
    EXPECT_EQ(Reload().size(), 1u);
    EXPECT_TRUE(rules.Usable());
    EXPECT_FALSE(rules.Enabled());
    EXPECT_EQ(WhoDecides(rules), L"sent");  // as the user last had it: switched off
}

}  // namespace
}  // namespace wrenpost::testing
