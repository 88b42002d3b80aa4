// The decide stage of a cycle: admission, the rules, the title and the recipients of each new
// mail, oldest first, into the outbox; or the reason it waits in Outlook.
#include <algorithm>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"

namespace wrenpost {
namespace {

const wchar_t* const kDefaultTitle = L"New Outlook Mail";

// Oldest first by delivery time across the folders; mails of unknown time last, as read.
void SortOldestFirst(std::vector<MailSnapshot>& messages) {
    std::stable_sort(messages.begin(), messages.end(),
                     [](const MailSnapshot& a, const MailSnapshot& b) {
                         if (a.DeliveryTimeKnown != b.DeliveryTimeKnown) {
                             return a.DeliveryTimeKnown;
                         }
                         return a.DeliveryTimeKnown && a.DeliveryTimeUtc < b.DeliveryTimeUtc;
                     });
}

std::wstring OrNone(const std::wstring& text) {
    return text.empty() ? std::wstring(L"none") : text;
}

}  // namespace

MonitorEngine::CycleTally MonitorEngine::AdmitDecideQueue(std::vector<MailSnapshot> messages) {
    SortOldestFirst(messages);
    CycleTally tally;
    const auto log = [this](const std::wstring& line) { Log(line); };
    bool holding = false;  // once one mail waits in Outlook, every newer one waits with it
    for (const MailSnapshot& message : messages) {
        if (!running_.load()) {
            break;  // what is left is read again by the next session
        }
        const std::wstring key = IdentifyMessage(message).Key;
        if (ledger_.Contains(key) || ledger_.Forgotten(message)) {
            ledger_.Mark(message);  // a copy in another folder: passed over from now on
            continue;
        }
        if (!admission_.Admit(message, log)) {
            ledger_.Mark(message);
            continue;
        }
        if (holding || !rules_.Usable()) {
            ++tally.Held;
            tally.HeldForRules = tally.HeldForRules || !rules_.Usable();
            holding = true;
            continue;
        }
        RuleDecision verdict;
        try {
            verdict = rules_.Evaluate(message);
        } catch (...) {
            Log(L"Rule evaluation failed. Falling back to default behavior.");
            verdict = RuleDecision();
        }
        if (rules_.Enabled()) {
            Log(L"Rules evaluated for message: " + message.Subject + L". Matched: " +
                OrNone(verdict.MatchedRuleName) + L". Final action: " +
                OrNone(verdict.FinalAction) + L".");
        }
        if (!verdict.ShouldSend) {
            ++tally.NewMessages;
            admission_.Remember(message);
            ledger_.Mark(message);
            Log(L"Notification skipped by rule: " +
                (verdict.MatchedRuleName.empty() ? verdict.Reason : verdict.MatchedRuleName));
            continue;
        }
        if (!Queue(message, verdict)) {
            ++tally.Held;
            holding = true;
            continue;
        }
        ++tally.NewMessages;
    }
    return tally;
}

bool MonitorEngine::Queue(const MailSnapshot& message, const RuleDecision& verdict) {
    OutboxRecord record;
    record.QueuedUtc = ToTicksSince1970(TimeSource().Now());
    record.MessageKey = IdentifyMessage(message).Key;
    record.PassOverKey = PassOverKey(message.StoreId, message.EntryId);
    record.FolderPath = message.FolderPath;
    record.Subject = message.Subject;
    record.SenderName = message.SenderName;
    record.ReceivedTime = message.ReceivedTime;
    record.DeliveryTimeKnown = message.DeliveryTimeKnown;
    record.DeliveryTimeUtc = message.DeliveryTimeUtc;
    record.Title = ChooseTitle(message, verdict);
    NotificationText text = BuildNotificationText(
        record.Title,
        {message.Subject, message.SenderName, message.SenderAddress, message.Body,
         message.DeliveryTimeKnown, message.DeliveryTimeUtc},
        config_.Message, deps_.FormatTime ? deps_.FormatTime : FormatDeliveryTime);
    record.Body = std::move(text.Body);
    record.SummaryLine = std::move(text.SummaryLine);
    record.DisableLinkPreview = text.DisableLinkPreview;
    for (const RecipientEntry& recipient : config_.Recipients) {
        if (recipient.Allowed) {
            record.Recipients.push_back({recipient.ChatId, RecipientState::Pending, 0, {}});
        }
    }
    if (record.Recipients.empty()) {
        ++queueCount_;  // nobody to tell: the mail waits in Outlook until someone is allowed
        Log(L"No allowed Telegram recipients configured.");
        return false;
    }
    std::wstring error;
    switch (outbox_.Add(std::move(record), &error)) {
        case Outbox::AddResult::Added:
            outboxFullLogged_ = false;
            admission_.Remember(message);
            ledger_.Mark(message);
            waiting_.store(outbox_.Count());
            return true;
        case Outbox::AddResult::Full:
            if (!std::exchange(outboxFullLogged_, true)) {
                Log(L"The outbox is full (" +
                    ToWideDecimal(static_cast<long long>(outbox_.Count())) +
                    L" waiting); new mail is read again once Telegram takes the waiting ones.");
            }
            return false;
        case Outbox::AddResult::WriteFailed:
            break;
    }
    Log(L"ERROR: The notification for \"" + message.Subject +
        L"\" could not be written to the outbox (" + error + L"); it is read again next cycle.");
    return false;
}

std::wstring MonitorEngine::ChooseTitle(const MailSnapshot& message, const RuleDecision& verdict) {
    if (!verdict.TitleOverride.empty()) {
        Log(L"Notification title overridden by rule (" +
            (verdict.MatchedRuleName.empty() ? std::wstring(L"unknown rule")
                                             : verdict.MatchedRuleName) +
            L"). Final title: " + verdict.TitleOverride + L".");
        return verdict.TitleOverride;
    }
    if (!config_.UseSameTitle) {
        for (const FolderTitle& folderTitle : config_.FolderTitles) {
            if (folderTitle.FolderPath == message.FolderPath) {
                return folderTitle.Title.empty() ? std::wstring(kDefaultTitle) : folderTitle.Title;
            }
        }
        return kDefaultTitle;
    }
    return config_.DefaultTitle.empty() ? std::wstring(kDefaultTitle) : config_.DefaultTitle;
}

}  // namespace wrenpost
