// The rules of a profile's in-memory recipient list: unique chat ids, at most 1,000 entries,
// and the automatic removal of recipients inactive for more than 365 days.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ActivityLog.h"
#include "common/Clock.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

inline constexpr std::size_t kMaxRecipients = 1000;
inline constexpr std::int64_t kInactiveRecipientSeconds = 365LL * 86400;

enum AddRecipientResult : int {
    kRecipientAdded = 0,
    kRecipientAlreadyPresent = 1,
    kRecipientLimitReached = 2,  // the limit message has been shown
};

// Appends {chat id, name, allowed, registered now, "Never"}; the limit message goes through the
// prompt seam with `owner` as its owner window.
AddRecipientResult AddRecipient(std::vector<RecipientEntry>& recipients, const std::wstring& chatId,
                                const std::wstring& displayName, const Clock& clock,
                                std::uintptr_t owner = 0);

// Drops entries whose last notification (or registration, when never notified) is more than
// 365 days old; unreadable times keep the entry. True when anything was dropped.
bool RemoveInactiveRecipients(std::vector<RecipientEntry>& recipients, const Clock& clock,
                              const LogFunction& log);

// Where a verified recipient's notifications go: the topic its code was sent in, or none when it
// was sent outside one. Only for a chat in `recipients`; true when the topic changed.
bool RecordRecipientTopic(std::vector<RecipientTopic>& topics,
                          const std::vector<RecipientEntry>& recipients, const std::wstring& chatId,
                          std::int64_t messageThreadId);

// The topic of a chat; 0 when it has none.
std::int64_t TopicOf(const std::vector<RecipientTopic>& topics, const std::wstring& chatId);

// Drops the topics of chats that are no longer recipients.
void KeepTopicsOfRecipients(std::vector<RecipientTopic>& topics,
                            const std::vector<RecipientEntry>& recipients);

const RecipientEntry* FindRecipient(const std::vector<RecipientEntry>& recipients,
                                    const std::wstring& chatId);

}  // namespace wrenpost
