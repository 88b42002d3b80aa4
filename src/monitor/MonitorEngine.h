// The monitor engine: one worker thread per session that, once per check interval, reads the
// watched Outlook folders on an abandonable reading thread, admits what is new, passes it
// through the Notification Rules and sends it to every allowed Telegram recipient.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "monitor/DeliveryAnswers.h"
#include "monitor/MailWatch.h"
#include "monitor/MonitorAdmission.h"
#include "monitor/MonitorRules.h"
#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"
#include "telegram/NotificationProvider.h"

namespace wrenpost {

using MonitorLogCallback = std::function<void(const std::wstring& line)>;
using MonitorStatusCallback =
    std::function<void(const std::wstring& lastCheck, std::int32_t messagesSent,
                       std::int32_t queueCount, const std::wstring& status)>;
using RecipientNotifiedCallback =
    std::function<void(const std::wstring& chatId, const std::wstring& when)>;

// Reads the newest messages of the watched folders; runs on a reading thread of its own, may
// block for as long as Outlook does, and may outlive the engine. True when anything was read.
using FolderReader =
    std::function<bool(const std::vector<SelectedFolder>& folders, std::int32_t perFolderLimit,
                       bool includeOldMessages, std::vector<MailSnapshot>& messages)>;
// One provider per (bot token, chat id); null counts as a failed send.
using ProviderFactory = std::function<std::unique_ptr<NotificationProvider>(
    const std::wstring& botToken, const std::wstring& chatId)>;
// Starts a thread running `body`; throws std::system_error when no thread can be created.
using ThreadLauncher = std::function<std::thread(std::function<void()> body)>;

struct MonitorDependencies {
    FolderReader ReadFolders;
    ProviderFactory MakeProvider;
    const Clock* TimeSource = nullptr;    // null: the system clock
    std::function<void(bool)> KeepAwake;  // null: RequestKeepAwake
    ThreadLauncher LaunchThread;          // null: std::thread
    // False: Start creates no worker; the owner drives the session with RunCycle (tests,
    // benchmarks).
    bool RunWorker = true;
    // true: end the send in flight and refuse new ones (Stop); false: allow sends again (Start).
    std::function<void(bool)> CancelSends;
    // Started with the worker; null: new mail is found by the checks alone.
    MailWatchFactory WatchMail;
};

// Shared by the worker and one reading thread; the reading thread stores Ok and Messages, then
// sets Done last.
struct OutlookReadOutcome {
    std::atomic<bool> Done{false};
    bool Ok = false;
    std::vector<MailSnapshot> Messages;
};

// What one session monitors and whom it tells.
struct MonitorSession {
    std::wstring ProfileName;
    std::filesystem::path
        ProfileFolder;  // holds <ProfileName>Config.json, Monitor.json, Rules.json
    std::wstring BotToken;
    std::int32_t CheckIntervalSeconds = 10;  // below 1: 10
    bool IncludeOldMessages = false;
    MonitorLogCallback OnLog;
    MonitorStatusCallback OnStatus;
    RecipientNotifiedCallback OnRecipientNotified;
};

enum class MonitorCycleResult {
    Completed,          // messages read and handled
    ConfigLoadFailed,   // Config.json could not be loaded
    ReadFailed,         // the read finished without a single message
    TimedOut,           // Outlook did not answer in time; the reading thread was abandoned
    LateReadDiscarded,  // an earlier abandoned read ended; nothing was read in this cycle
    StopRequested,      // the session is ending
    Failed,             // an exception was contained
};

class MonitorEngine {
public:
    explicit MonitorEngine(MonitorDependencies dependencies);
    ~MonitorEngine();
    MonitorEngine(const MonitorEngine&) = delete;
    MonitorEngine& operator=(const MonitorEngine&) = delete;

    // False when a session is already running or no worker could be created (the engine then
    // stays stopped and the keep-awake request is released).
    [[nodiscard]] bool Start(MonitorSession session);
    // Ends the session: joins the worker (never waits for a hung Outlook call), releases the
    // keep-awake request and writes the final status file. Does nothing when stopped.
    void Stop();
    bool IsRunning() const { return running_.load(); }

    // One cycle on the calling thread, without the wait that follows it; for sessions started
    // with RunWorker = false.
    MonitorCycleResult RunCycle();

private:
    // What the read step brought back; Messages only when Result is Completed.
    struct MailRead {
        MonitorCycleResult Result = MonitorCycleResult::ReadFailed;
        std::vector<MailSnapshot> Messages;
        std::int64_t TimeoutSeconds = 0;
    };
    // What admission and delivery did in one cycle, for the record step.
    struct CycleTally {
        int NewMessages = 0;
        int Held = 0;  // admitted while the rules file could not be read
        std::vector<std::pair<std::wstring, std::wstring>> Notified;  // chat id, local time
    };

    void WorkerLoop();
    void StartWatch();
    void FollowWatchedFolders(const std::vector<SelectedFolder>& folders);
    void WaitOneInterval();
    MonitorCycleResult RunOneCycle();
    MonitorCycleResult RunOneCycleUnguarded();

    // The steps of one cycle, in order.
    MailRead ReadMail(const ProfileConfig& config);
    CycleTally AdmitAndDeliver(const std::vector<MailSnapshot>& messages, ProfileConfig& config);
    void Deliver(const MailSnapshot& message, ProfileConfig& config, CycleTally& tally);
    SendResult SendTo(const std::wstring& chatId, const std::wstring& title,
                      const std::wstring& body);
    // Acts on a failed send's answer; true when the recipient refused the message for good.
    bool HandleFailedSend(const SendResult& sent, const std::wstring& messageKey,
                          const RecipientEntry& recipient, const std::wstring& subject);
    MonitorCycleResult RecordCycle(const CycleTally& tally, const std::wstring& cycleTime);
    MonitorCycleResult RecordFailedRead(const MailRead& read, const std::wstring& cycleTime);

    std::wstring ChooseTitle(const MailSnapshot& message, const ProfileConfig& config,
                             const RuleDecision& verdict);
    void WriteBackNotificationTimes(
        const std::vector<std::pair<std::wstring, std::wstring>>& notified);
    void WriteStatus(const std::wstring& status, const std::wstring& lastCheck);
    void ReportCycle(const std::wstring& cycleTime, const std::wstring& status);
    void Log(const std::wstring& line) const;
    std::wstring LocalNow() const;
    const Clock& TimeSource() const;

    MonitorDependencies deps_;
    MonitorSession session_;
    std::int64_t sessionStart_ = 0;
    std::atomic<bool> running_{false};
    std::thread worker_;
    bool manualSession_ = false;
    std::filesystem::path configPath_;
    std::filesystem::path statusPath_;
    std::filesystem::path rulesPath_;
    std::int32_t messagesSent_ = 0;
    std::int32_t queueCount_ = 0;
    bool baselineDone_ = false;
    bool failureMark_ = false;
    MessageAdmission admission_;
    MonitorRules rules_;
    DeliveryAnswers answers_;
    // The read left behind by a timed-out cycle; while it runs no other reading thread starts.
    std::shared_ptr<OutlookReadOutcome> abandonedRead_;
    // Touched by the worker only (Start and Stop run while no worker exists).
    std::unique_ptr<MailWatch> watch_;
    std::vector<SelectedFolder> watchedFolders_;
    // Set by the watch, taken by the interval wait; left set during a cycle, so a mail announced
    // while a read was already under way gets a cycle of its own.
    std::atomic<bool> wakeRequested_{false};
};

}  // namespace wrenpost
