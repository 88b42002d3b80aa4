// The monitor engine: one worker thread per session. A message's road is a straight line of
// stages: read (Outlook, on an abandonable thread) -> admit (new for this session?) -> decide
// (rules, title, recipients) -> outbox (durable) -> send (paced, abandonable) -> settle
// (remember, count, write back). Reading never waits for sending: the worker sends between
// and during reads, one request at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "monitor/DeliveryAnswers.h"
#include "monitor/HandledLedger.h"
#include "monitor/MailWatch.h"
#include "monitor/MonitorAdmission.h"
#include "monitor/MonitorRules.h"
#include "monitor/NotificationText.h"
#include "monitor/Outbox.h"
#include "monitor/SendPacing.h"
#include "monitor/SessionRecord.h"
#include "outlook/FolderWalk.h"
#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"
#include "telegram/NotificationProvider.h"

namespace wrenpost {

// Logged once per session, and shown by the Message Options dialog, when Outlook refuses a
// guarded member of a mail.
inline constexpr std::wstring_view kOutlookRefusedNote =
    L"Outlook refused access to the sender's address or the message text; notifications "
    L"carry what could be read. Allow programmatic access in Outlook's Trust Center to show "
    L"them.";

using MonitorLogCallback = std::function<void(const std::wstring& line)>;
// What the window shows of a session.
struct MonitorProgress {
    std::wstring LastCheck;
    std::int32_t MessagesSent = 0;
    std::int32_t QueueCount = 0;  // send attempts that reached nobody (Monitor.json's QueueCount)
    std::int32_t Waiting = 0;     // notifications in the outbox
    std::wstring Status;
    bool CycleEnded = true;  // false: a send settled between cycles
};
using MonitorStatusCallback = std::function<void(const MonitorProgress& progress)>;
using RecipientNotifiedCallback =
    std::function<void(const std::wstring& chatId, const std::wstring& when)>;

// Finds the new mail of the watched folders; runs on a reading thread of its own, may block for
// as long as Outlook does, and may outlive the engine.
using FolderReader = std::function<MailReadResult(const MailReadRequest& request)>;
// Adds the guarded members (sender address, body) to mails the session admitted; runs on a
// reading thread like the folder reader, after it.
using DetailsReader = std::function<MailReadResult(const MailDetailsRequest& request)>;
// One provider per (bot token, chat id); null counts as a failed send.
using ProviderFactory = std::function<std::unique_ptr<NotificationProvider>(
    const std::wstring& botToken, const std::wstring& chatId)>;
// Starts a thread running `body`; throws std::system_error when no thread can be created.
using ThreadLauncher = std::function<std::thread(std::function<void()> body)>;

struct MonitorDependencies {
    FolderReader ReadFolders;
    DetailsReader ReadDetails;  // null: mails go on with the members the walk read
    ProviderFactory MakeProvider;
    const Clock* TimeSource = nullptr;    // null: the system clock
    DeliveryTimeFormatter FormatTime;     // null: FormatDeliveryTime (the user's locale)
    std::function<void(bool)> KeepAwake;  // null: RequestKeepAwake
    ThreadLauncher LaunchThread;          // null: std::thread
    // False: Start creates no worker; the owner drives the session with RunCycle (tests,
    // benchmarks).
    bool RunWorker = true;
    // true: end the send in flight and refuse new ones (Stop); false: allow sends again (Start).
    std::function<void(bool)> CancelSends;
    // Started with the worker; null: new mail is found by the checks alone.
    MailWatchFactory WatchMail;
    // Parameters, so tests can use small ones.
    WalkLimits Walk;
    OutboxLimits OutboxSize;
    PacingLimits Pacing;
};

// Shared by the worker and one reading thread; the reading thread stores Ok and Messages, then
// sets Done last.
struct OutlookReadOutcome {
    std::atomic<bool> Done{false};
    MailReadResult Found;
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
    // Resumed at sign-in: the cut-off may be the previous session's last check (SessionRecord.h).
    bool ResumeAtSignIn = false;
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
    // Ends the session: joins the worker (never waits for a hung Outlook call or a send),
    // releases the keep-awake request and writes the final status file and how the session
    // ended. What waits in the outbox stays there. Does nothing when stopped.
    void Stop(SessionEnd how = SessionEnd::User);
    bool IsRunning() const { return running_.load(); }
    // Notifications in the outbox of the running (or last) session; any thread.
    std::size_t WaitingNotifications() const { return waiting_.load(); }
    // Outlook refused a member the profile's message level shows (sender address, body, sender
    // name) in this session, so notifications carry less; any thread (the Message Options
    // dialog shows kOutlookRefusedNote while it is true).
    bool OutlookRefusedGuardedMembers() const { return guardRefused_.load(); }
    // Deletes what waits in the stopped session's outbox (an unsaved session the user ends).
    void DiscardWaiting();

    // One cycle on the calling thread, then every send due at once; for sessions started with
    // RunWorker = false.
    MonitorCycleResult RunCycle();
    // Every send due now, on the calling thread; for sessions started with RunWorker = false.
    void SendDue();

private:
    struct MailRead {
        MonitorCycleResult Result = MonitorCycleResult::ReadFailed;
        MailReadResult Found;
        std::int64_t TimeoutSeconds = 0;
    };
    struct CycleTally {
        int NewMessages = 0;
        int Held = 0;
        bool HeldForRules = false;
    };
    // A send under way on a thread of its own.
    struct SendOutcome {
        std::atomic<bool> Done{false};
        SendResult Result;
        std::exception_ptr Thrown;  // rethrown on the worker, where the cycle contains it
    };
    struct InFlight {
        std::shared_ptr<SendOutcome> Outcome;
        std::thread Thread;
        std::vector<std::int64_t> Sequences;  // more than one: a combined burst message
        std::wstring ChatId;
    };
    // One message about to go to one chat.
    struct Outgoing {
        std::vector<std::int64_t> Sequences;
        std::wstring ChatId, Title, Body;
        SendOptions Options;
    };

    // Session (MonitorEngine.cpp)
    void OpenOutbox();
    // False when no worker could be created (the session is then ended again).
    bool LaunchWorker();
    void WorkerLoop();
    void StartWatch();
    void FollowWatchedFolders(const std::vector<SelectedFolder>& folders);
    void WaitOneInterval();
    // Sleeps one step, sending what is due meanwhile.
    void Idle(std::chrono::milliseconds longest);
    void WriteStatus(const std::wstring& status, const std::wstring& lastCheck);
    void ReportCycle(const std::wstring& cycleTime, const std::wstring& status);
    void ReportProgress();
    std::wstring RunningStatus() const;
    void Log(const std::wstring& line) const;
    std::wstring LocalNow() const;
    std::wstring LocalText(std::int64_t ticksUtc) const;
    const Clock& TimeSource() const;

    // One cycle (MonitorCycle.cpp)
    MonitorCycleResult RunOneCycle();
    MonitorCycleResult RunOneCycleUnguarded();
    MailRead ReadMail(const ProfileConfig& config);
    // Runs `read` on a reading thread and waits for it within the cycle's read time-out.
    MailRead AwaitRead(std::function<MailReadResult()> read);
    MailReadRequest ReadRequest(const ProfileConfig& config);
    void NoteGuardRefused(bool refused);
    // The mails of a read that are new for the session, oldest first.
    std::vector<MailSnapshot> Admit(std::vector<MailSnapshot> messages);
    // Reads the guarded members the message level shows into the admitted mails.
    MailRead ReadDetails(std::vector<MailSnapshot>& admitted);
    CycleTally DecideQueue(const std::vector<MailSnapshot>& admitted);
    // The chat ids a mail to send goes to; nullopt when its rules route it to nobody allowed.
    std::optional<std::vector<std::wstring>> Route(const MailSnapshot& message,
                                                   const RuleDecision& verdict);
    // False when the mail must wait in Outlook (nobody allowed, no room, or the disk refused).
    bool Queue(const MailSnapshot& message, const RuleDecision& verdict,
               const std::vector<std::wstring>& recipients);
    std::wstring ChooseTitle(const MailSnapshot& message, const RuleDecision& verdict);
    void LogBursts(const MailReadResult& found);
    MonitorCycleResult RecordCycle(const CycleTally& tally, const std::wstring& cycleTime);
    MonitorCycleResult RecordFailedRead(const MailRead& read, const std::wstring& cycleTime);

    // Sending and settling (MonitorDelivery.cpp)
    void PumpSends();
    bool FinishSend();
    bool StartNextSend();
    // Settles without a send the pending entries (sequence, chat id) no send may reach.
    void SetAside(const std::vector<std::pair<std::int64_t, std::wstring>>& entries,
                  RecipientState state);
    std::wstring RecipientName(const std::wstring& chatId) const;
    void StartSend(std::int64_t sequence, const OutboxRecord& record,
                   const OutboxRecipient& recipient, std::chrono::steady_clock::time_point now);
    void Launch(Outgoing message, std::chrono::steady_clock::time_point now);
    bool QuietNow() const;
    void AbandonSend();
    // `firstOfSend`: false for the further entries of a combined message, whose answer has
    // already paused the bot or backed off the chat.
    void Settle(OutboxRecord& record, OutboxRecipient& recipient, const SendResult& sent,
                bool firstOfSend = true);

    // Combined burst messages (MonitorBursts.cpp)
    // True when a combined message was started.
    bool StartBurstSend(std::chrono::steady_clock::time_point now);
    // The oldest of `entries` (sequence, record) that fit one message to `chatId`.
    Outgoing CombineBurst(
        const std::wstring& chatId,
        const std::vector<std::pair<std::int64_t, const OutboxRecord*>>& entries) const;
    bool RecipientAllowed(const std::wstring& chatId) const;
    void SaveRecord(const OutboxRecord& record);
    void WriteBackNotificationTimes();

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
    std::wstring lastCheck_ = L"-";
    ProfileConfig config_;      // as read last: titles and who may receive
    bool configKnown_ = false;  // nothing is sent before the session's profile was read
    MessageAdmission admission_;
    HandledLedger ledger_;
    MonitorRules rules_;
    DeliveryAnswers answers_;
    SendPacing pacing_;
    Outbox outbox_;
    std::atomic<std::size_t> waiting_{0};
    std::optional<InFlight> inFlight_;
    std::chrono::steady_clock::time_point lastDelivery_{};
    std::vector<std::pair<std::wstring, std::wstring>> notified_;  // chat id, local time
    std::set<std::wstring> burstFolders_;                          // folders whose burst was logged
    // Rules warned of this session for routing to nobody allowed.
    std::set<std::wstring> routingWarned_;
    std::set<std::wstring> combiningChats_;  // chats whose burst is being sent in parts
    bool outboxFullLogged_ = false;
    bool unavailableLogged_ = false;  // why Outlook cannot be used: said once a session
    std::atomic<bool> guardRefused_{false};
    int heldForRules_ = 0;
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
