#include "playground/Playground_win.h"

#include <ctime>
#include <sstream>

#include "common/JsonText.h"
#include "common/LocalTime.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "support/FakeOutlook_win.h"
#include "unit/update/ManifestBuilder.h"
#include "update/UpdateManifest.h"

namespace wrenpost::testing {
namespace {

// The value of `key=` in a tab-separated scenario line.
std::wstring Field(const std::wstring& line, const std::wstring& key) {
    std::wistringstream fields(line);
    std::wstring field;
    while (std::getline(fields, field, L'\t')) {
        if (field.rfind(key + L"=", 0) == 0) {
            return field.substr(key.size() + 1);
        }
    }
    return {};
}

std::wstring UtcNow() {
    std::tm utc{};
    ToUtcCalendar(std::time(nullptr), utc);
    wchar_t text[32];
    std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

}  // namespace

std::wstring SampleMailbox() {
    return ScenarioLine({L"store", L"id=S1", L"name=Ann Example"}) +
           ScenarioLine({L"store", L"id=S2", L"name=Team Archive"}) +
           ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
           ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Orders", L"id=F2"}) +
           ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Support", L"id=F3"}) +
           ScenarioLine({L"folder", L"store=S2", L"path=Inbox", L"id=F4"}) +
           ScenarioLine({L"item", L"folder=F1", L"id=OLD1", L"subject=Welcome to the playground",
                         L"sender=Wrenpost", L"received=2026-01-05 09:00:00",
                         L"delivery=2026-01-05 08:00:00", L"unread=0"}) +
           ScenarioLine({L"item", L"folder=F2", L"id=OLD2", L"subject=Order 1001 shipped",
                         L"sender=Shop", L"received=2026-01-06 10:30:00",
                         L"delivery=2026-01-06 09:30:00", L"unread=0"});
}

bool AddPlaygroundMail(const std::filesystem::path& scenario, const std::wstring& subject,
                       const std::wstring& from, const std::wstring& folder, std::wstring& error) {
    if (TrimWhitespace(subject).empty()) {
        error = L"the subject is empty";
        return false;
    }
    std::wstring text;
    if (!ReadTextFile(scenario, text)) {
        error = L"no playground mailbox at " + scenario.wstring() + L" (run scripts/run first)";
        return false;
    }
    std::wstring wanted = folder.empty() ? L"Inbox" : folder;
    for (wchar_t& c : wanted) {
        c = c == L'/' ? L'\\' : c;
    }
    std::wistringstream lines(text);
    std::wstring line, folderId;
    int items = 0;
    while (std::getline(lines, line)) {
        if (line.rfind(L"folder\t", 0) == 0 && folderId.empty() && Field(line, L"path") == wanted) {
            folderId = Field(line, L"id");
        }
        items += line.rfind(L"item\t", 0) == 0 ? 1 : 0;
    }
    if (folderId.empty()) {
        error = L"no folder \"" + wanted + L"\" in the playground mailbox";
        return false;
    }
    const std::wstring now = UtcNow();
    text += ScenarioLine({L"item", L"folder=" + folderId, L"id=NEW" + std::to_wstring(items),
                          L"subject=" + subject,
                          L"sender=" + (from.empty() ? L"colleague@example.com" : from),
                          L"received=" + FormatLocalTimestamp(), L"delivery=" + now, L"unread=1"});
    if (!WriteTextFileAtomically(scenario, text)) {
        error = L"cannot write " + scenario.wstring();
        return false;
    }
    return true;
}

std::string PlaygroundUpdateManifest(bool newer) {
    Version version;
    (void)ParseVersionText(WRENPOST_VERSION_TEXT, version);
    if (newer) {
        ++version.minor;
        version.patch = 0;
    }
    const std::string text = WideToUtf8(VersionText(version));
    return Manifest({{"latestVersion", Quoted(text)},
                     {"releaseNotes", R"(["Notifications for shared mailboxes"])"},
                     {"installer.filename", Quoted("WrenpostSetup-" + text + ".exe")}});
}

std::string SampleUserUpdate(std::int64_t updateId, const std::wstring& text) {
    return R"({"update_id":)" + std::to_string(updateId) + R"(,"message":{"message_id":)" +
           std::to_string(updateId + 1000) + R"(,"date":)" + std::to_string(std::time(nullptr)) +
           R"(,"chat":{"id":777001,"type":"private","first_name":"Sam","username":"sample_user"},)"
           R"("text":")" +
           WideToUtf8(JsonEscape(text)) + R"("}})";
}

}  // namespace wrenpost::testing
