// A monitor engine wired to the test doubles, with a saved profile "Work" in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "MonitorTestKit.h"
#include "TinyJson.h"
#include "common/TextFile.h"
#include "monitor/MonitorEngine.h"
#include "support/TempDir.h"

namespace wrenpost::testing {

inline const std::wstring kInbox = L"\\\\Mailbox\\Inbox";
inline const std::wstring kArchive = L"\\\\Mailbox\\Archive";

class MonitorEngineTest : public ::testing::Test {
protected:
    MonitorEngineTest() {
        profile.ProfileName = L"Work";
        profile.SelectedFolders = {Folder(kInbox), Folder(kArchive)};
        profile.Recipients = {Recipient(L"100")};
        WriteProfile();
    }

    void WriteProfile() { WriteConfig(dir.Path(), L"Work", profile); }

    MonitorDependencies Dependencies(bool runWorker = false) {
        MonitorDependencies deps;
        deps.ReadFolders = reader.AsReader();
        deps.MakeProvider = channel.AsFactory();
        deps.TimeSource = &clock;
        deps.KeepAwake = [this](bool on) {
            std::lock_guard lock(mutex);
            keepAwake.push_back(on);
        };
        deps.RunWorker = runWorker;
        return deps;
    }

    // A session driven cycle by cycle; its cutoff is the clock's time at the call.
    void StartManual(std::int32_t interval = 600, bool includeOld = false) {
        engine = std::make_unique<MonitorEngine>(Dependencies());
        StartEngine(interval, includeOld);
    }

    void StartEngine(std::int32_t interval, bool includeOld) {
        start = clock.NowTicks();
        ASSERT_TRUE(engine->Start(L"Work", dir.Path(), L"123:TOKEN", interval, includeOld,
                                  log.AsCallback(), status.AsCallback(),
                                  [this](const std::wstring& chatId, const std::wstring& when) {
                                      std::lock_guard lock(mutex);
                                      notified.emplace_back(chatId, when);
                                  }));
    }

    MailSnapshot Fresh(const std::wstring& subject, const std::wstring& folder = kInbox) {
        return Message(folder, subject, start + 1, L"<" + subject + L"@example>");
    }

    std::optional<JsonValue> StatusFile() {
        std::wstring text;
        if (!ReadTextFile(dir.Path() / L"WorkMonitor.json", text)) {
            return std::nullopt;
        }
        return ParseJson(text);
    }
    std::wstring StatusFileField(const std::wstring& key) {
        const auto json = StatusFile();
        if (!json || !json->Find(key)) {
            return L"<missing>";
        }
        return json->Find(key)->text;
    }

    std::vector<std::pair<std::wstring, std::wstring>> Notified() {
        std::lock_guard lock(mutex);
        return notified;
    }
    std::vector<bool> KeepAwakeCalls() {
        std::lock_guard lock(mutex);
        return keepAwake;
    }

    TempDir dir;
    SteppingClock clock;
    ScriptedReader reader{&clock};
    RecordingChannel channel;
    LogRecorder log;
    StatusRecorder status;
    ProfileConfig profile;
    std::int64_t start = 0;
    std::mutex mutex;
    std::vector<std::pair<std::wstring, std::wstring>> notified;
    std::vector<bool> keepAwake;
    std::unique_ptr<MonitorEngine> engine;  // last: stopped before the doubles go away
};

}  // namespace wrenpost::testing
