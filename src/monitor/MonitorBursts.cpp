// Bursts become one message: when, at the start of a send pass, more notifications than the
// profile's threshold wait for one chat, they go as one message with a line per mail, in parts
// at Telegram's length cap, and every entry of a part settles with its answer.
#include <algorithm>
#include <map>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"
#include "telegram/BotApiText.h"

namespace wrenpost {
namespace {

constexpr std::size_t kLineUnits = 200;

using Entries = std::vector<std::pair<std::int64_t, const OutboxRecord*>>;

// The mail on one line of at most 200 units, never ending in half a surrogate pair.
std::wstring LineOf(const OutboxRecord& record) {
    std::wstring line = record.SummaryLine.empty() ? record.Subject : record.SummaryLine;
    std::replace_if(
        line.begin(), line.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    if (line.empty()) {
        line = L"(no subject)";
    }
    if (line.size() > kLineUnits) {
        std::size_t cut = kLineUnits - 1;
        if (line[cut - 1] >= 0xD800 && line[cut - 1] <= 0xDBFF) {
            --cut;
        }
        line.resize(cut);
        line += L"\u2026";
    }
    return line;
}

}  // namespace

bool MonitorEngine::StartBurstSend(std::chrono::steady_clock::time_point now) {
    const MessageOptions& options = config_.Message;
    if (!options.CombineBursts) {
        combiningChats_.clear();
        return false;
    }
    std::map<std::wstring, Entries> waiting;  // per chat, in queue order
    for (const auto& [sequence, record] : outbox_.Waiting()) {
        for (const OutboxRecipient& r : record.Recipients) {
            if (r.State == RecipientState::Pending && RecipientAllowed(r.ChatId) &&
                !answers_.TopicRefused(r.ChatId, r.MessageThreadId)) {
                waiting[r.ChatId].emplace_back(sequence, &record);
            }
        }
    }
    std::erase_if(combiningChats_,
                  [&](const std::wstring& chat) { return !waiting.contains(chat); });
    const auto threshold = static_cast<std::size_t>(std::clamp(options.BurstThreshold,
                                                               MessageOptions::kMinBurstThreshold,
                                                               MessageOptions::kMaxBurstThreshold));
    for (const auto& [chatId, entries] : waiting) {
        // A burst being sent in parts stays combined until its last entry has gone.
        const bool burst = entries.size() > threshold || combiningChats_.contains(chatId);
        if (!burst || entries.size() < 2 || pacing_.NextAllowed(chatId) > now) {
            continue;
        }
        combiningChats_.insert(chatId);
        Launch(CombineBurst(chatId, entries), now);
        return true;
    }
    return false;
}

MonitorEngine::Outgoing MonitorEngine::CombineBurst(const std::wstring& chatId,
                                                    const Entries& entries) const {
    const auto topicOf = [&](const OutboxRecord& record) {
        for (const OutboxRecipient& r : record.Recipients) {
            if (r.ChatId == chatId)
                return r.MessageThreadId;
        }
        return std::int64_t{0};
    };
    Outgoing message;
    message.ChatId = chatId;
    message.Title = entries.front().second->Title;
    message.Options.MessageThreadId = topicOf(*entries.front().second);
    bool allSilent = true;
    for (const auto& [sequence, record] : entries) {
        const std::wstring line = LineOf(*record);
        const std::wstring body = message.Body.empty() ? line : message.Body + L"\n" + line;
        // A part ends at the cap, and where the topic changes (it was set again meanwhile).
        if (!message.Sequences.empty() &&
            (Utf16Length(message.Title + L"\n\n" + body) > kTelegramMaxTextUnits ||
             topicOf(*record) != message.Options.MessageThreadId)) {
            break;
        }
        if (record->Title != message.Title) {
            message.Title = L"New Outlook Mail";
        }
        message.Body = body;
        message.Sequences.push_back(sequence);
        allSilent = allSilent && record->Silent;
        message.Options.DisableLinkPreview |= record->DisableLinkPreview;
    }
    message.Options.Silent = allSilent || QuietNow();
    return message;
}

}  // namespace wrenpost
