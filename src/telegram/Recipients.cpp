#include "telegram/Recipients.h"

#include "common/LocalTime.h"
#include "common/Prompt.h"

namespace wrenpost {

const RecipientEntry* FindRecipient(const std::vector<RecipientEntry>& recipients,
                                    const std::wstring& chatId) {
    for (const RecipientEntry& entry : recipients) {
        if (entry.ChatId == chatId) {
            return &entry;
        }
    }
    return nullptr;
}

AddRecipientResult AddRecipient(std::vector<RecipientEntry>& recipients, const std::wstring& chatId,
                                const std::wstring& displayName, const Clock& clock,
                                std::uintptr_t owner) {
    if (FindRecipient(recipients, chatId) != nullptr) {
        return kRecipientAlreadyPresent;
    }
    if (recipients.size() >= kMaxRecipients) {
        PromptRequest prompt;
        prompt.owner = owner;
        prompt.caption = L"Telegram Verification";
        prompt.text = L"Maximum recipients limit reached.";
        prompt.icon = PromptIcon::Warning;
        ShowPrompt(prompt);
        return kRecipientLimitReached;
    }
    RecipientEntry entry;
    entry.ChatId = chatId;
    entry.DisplayName = displayName;
    entry.Allowed = true;
    entry.RegisteredOn = FormatLocalTimestamp(static_cast<std::time_t>(ToUnixSeconds(clock.Now())));
    entry.LastNotification = L"Never";
    recipients.push_back(std::move(entry));
    return kRecipientAdded;
}

bool RemoveInactiveRecipients(std::vector<RecipientEntry>& recipients, const Clock& clock,
                              const LogFunction& log) {
    const std::int64_t now = ToUnixSeconds(clock.Now());
    std::vector<RecipientEntry> kept;
    kept.reserve(recipients.size());
    bool removed = false;
    for (RecipientEntry& entry : recipients) {
        const std::wstring& reference =
            entry.LastNotification == L"Never" ? entry.RegisteredOn : entry.LastNotification;
        std::int64_t referenceTime = 0;
        if (ParseLocalTimestamp(reference, referenceTime) &&
            now - referenceTime > kInactiveRecipientSeconds) {
            removed = true;
            if (log) {
                log(LogLevel::Info, L"Removed inactive recipient after 365 days: " +
                                        entry.DisplayName + L" (" + entry.ChatId + L")");
            }
            continue;
        }
        kept.push_back(std::move(entry));
    }
    recipients = std::move(kept);
    return removed;
}

bool RecordRecipientTopic(std::vector<RecipientTopic>& topics,
                          const std::vector<RecipientEntry>& recipients, const std::wstring& chatId,
                          std::int64_t messageThreadId) {
    if (FindRecipient(recipients, chatId) == nullptr ||
        TopicOf(topics, chatId) == messageThreadId) {
        return false;
    }
    std::erase_if(topics, [&](const RecipientTopic& topic) { return topic.ChatId == chatId; });
    if (messageThreadId != 0) {
        topics.push_back({chatId, messageThreadId});
    }
    return true;
}

std::int64_t TopicOf(const std::vector<RecipientTopic>& topics, const std::wstring& chatId) {
    for (const RecipientTopic& topic : topics) {
        if (topic.ChatId == chatId) {
            return topic.MessageThreadId;
        }
    }
    return 0;
}

void KeepTopicsOfRecipients(std::vector<RecipientTopic>& topics,
                            const std::vector<RecipientEntry>& recipients) {
    std::erase_if(topics, [&](const RecipientTopic& topic) {
        return topic.MessageThreadId == 0 || FindRecipient(recipients, topic.ChatId) == nullptr;
    });
}

}  // namespace wrenpost
