// The decide stage of a cycle: admission, the rules, the title and the recipients of each new
// mail, oldest first, into the outbox; or the reason it waits in Outlook.
#include <algorithm>
#include <map>
#include <optional>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"
#include "rules/RuleRouting.h"
#include "telegram/Recipients.h"

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

std::vector<MailSnapshot> MonitorEngine::Admit(std::vector<MailSnapshot> messages) {
    SortOldestFirst(messages);
    const auto log = [this](const std::wstring& line) { Log(line); };
    std::vector<MailSnapshot> admitted;
    for (MailSnapshot& message : messages) {
        if (ledger_.Contains(IdentifyMessage(message).Key) || ledger_.Forgotten(message) ||
            !admission_.Admit(message, log)) {
            ledger_.Mark(message);  // e.g. a copy in another folder: passed over from now on
            continue;
        }
        admitted.push_back(std::move(message));
    }
    return admitted;
}

MonitorEngine::MailRead MonitorEngine::ReadDetails(std::vector<MailSnapshot>& admitted) {
    const MessageContent level = config_.Message.Content;
    if (admitted.empty() || level == MessageContent::SubjectOnly || !deps_.ReadDetails ||
        !rules_.Usable()) {
        return {MonitorCycleResult::Completed, {}, 0};
    }
    MailDetailsRequest request;
    request.ReadSenderAddress = true;
    request.ReadBody = level == MessageContent::Preview;
    std::map<std::wstring, std::size_t> asked;  // identity key: a copy in two folders is read once
    for (const MailSnapshot& mail : admitted) {
        if (asked.emplace(IdentifyMessage(mail).Key, request.Mails.size()).second) {
            request.Mails.push_back(mail);
        }
    }
    MailRead read = AwaitRead(
        [request = std::move(request), reader = deps_.ReadDetails] { return reader(request); });
    if (read.Result != MonitorCycleResult::Completed) {
        return read;
    }
    NoteGuardRefused(read.Found.GuardRefused);
    const std::vector<MailSnapshot>& found = read.Found.Messages;
    for (MailSnapshot& mail : admitted) {
        if (const std::size_t at = asked.at(IdentifyMessage(mail).Key); at < found.size()) {
            mail.SenderAddress = found[at].SenderAddress;
            mail.Body = found[at].Body;
        }
    }
    return read;
}

MonitorEngine::CycleTally MonitorEngine::DecideQueue(const std::vector<MailSnapshot>& admitted) {
    CycleTally tally;
    bool holding = false;  // once one mail waits in Outlook, every newer one waits with it
    for (const MailSnapshot& message : admitted) {
        if (!running_.load()) {
            break;  // what is left is read again by the next session
        }
        if (ledger_.Contains(IdentifyMessage(message).Key)) {
            ledger_.Mark(message);  // a copy of a mail queued from another folder this cycle
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
        const std::optional<std::vector<std::wstring>> recipients =
            verdict.ShouldSend ? Route(message, verdict) : std::nullopt;
        if (!recipients) {  // handled without a send: remembered, never read again
            ++tally.NewMessages;
            admission_.Remember(message);
            ledger_.Mark(message);
            if (!verdict.ShouldSend) {
                Log(L"Notification skipped by rule: " +
                    (verdict.MatchedRuleName.empty() ? verdict.Reason : verdict.MatchedRuleName));
            }
            continue;
        }
        if (!Queue(message, verdict, *recipients)) {
            ++tally.Held;
            holding = true;
            continue;
        }
        ++tally.NewMessages;
    }
    return tally;
}

// The allowed recipients the rules route the mail to. None allowed at all: an empty list, and the
// mail waits in Outlook as it always did. Routed, but to nobody allowed now: nullopt, and the mail
// counts as refused, since waiting would hold every newer mail behind it until the rule changes.
std::optional<std::vector<std::wstring>> MonitorEngine::Route(const MailSnapshot& message,
                                                              const RuleDecision& verdict) {
    std::vector<std::wstring> allowed;
    for (const RecipientEntry& recipient : config_.Recipients) {
        if (recipient.Allowed) {
            allowed.push_back(recipient.ChatId);
        }
    }
    if (allowed.empty()) {
        return allowed;
    }
    RoutedRecipients routed = RouteRecipients(verdict, allowed);
    for (const std::wstring& rule : routed.RulesNamingNoneAllowed) {
        if (routingWarned_.insert(rule).second) {
            Log(L"WARNING: Rule \"" + rule +
                L"\": \"Send To Recipients\" names no recipient allowed now, so mail only this "
                L"rule routes is not sent. Edit the rule or check Manage Recipients.");
        }
    }
    if (routed.ChatIds.empty()) {
        Log(L"Notification refused, no allowed recipient among those its rules name: " +
            message.Subject);
        return std::nullopt;
    }
    return std::move(routed.ChatIds);
}

bool MonitorEngine::Queue(const MailSnapshot& message, const RuleDecision& verdict,
                          const std::vector<std::wstring>& recipients) {
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
    record.Silent = verdict.Silent;
    for (const std::wstring& chatId : recipients) {
        record.Recipients.push_back(
            {chatId, RecipientState::Pending, TopicOf(config_.RecipientTopics, chatId), {}});
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
