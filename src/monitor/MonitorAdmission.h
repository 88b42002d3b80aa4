// Which messages are new for a monitor session: identity keys, the session cutoff and the
// bounded memory of messages already handled.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_set>

#include "outlook/MailSnapshot.h"

namespace wrenpost {

enum class IdentitySource { InternetMessageId, StoreIdEntryId, LegacyComposite };

struct MessageIdentity {
    std::wstring Key;
    IdentitySource Source = IdentitySource::LegacyComposite;
};

// The first of: internet message id, store + entry id, folder/subject/sender/received time.
MessageIdentity IdentifyMessage(const MailSnapshot& message);

// "InternetMessageId", "StoreId+EntryId", "LegacyComposite".
const wchar_t* IdentitySourceName(IdentitySource source);
// "MapiDeliveryTime", "ObjectModelReceivedTime", "SubmitOrSentTime", else "Unknown".
const wchar_t* TimestampSourceName(std::uint32_t source);

// 100-nanosecond ticks since 1970-01-01 UTC.
std::int64_t ToTicksSince1970(std::chrono::system_clock::time_point time);
// "%Y-%m-%dT%H:%M:%SZ" of the whole seconds (truncated toward zero), proleptic Gregorian UTC.
std::wstring FormatIso8601Utc(std::int64_t ticksSince1970);

// The session's handled messages, oldest first, with a key set for constant-time look-ups.
class SeenMemory {
public:
    static constexpr std::size_t kCapacity = 1000;

    void Clear();
    bool Contains(const std::wstring& key) const { return keys_.count(key) != 0; }
    // Appends and, beyond the capacity, forgets the oldest entries and rebuilds the key set.
    void Remember(const MailSnapshot& message);

    const std::deque<MailSnapshot>& Entries() const { return entries_; }

private:
    std::deque<MailSnapshot> entries_;
    std::unordered_set<std::wstring> keys_;
};

// The line logged for a message refused by the freshness gate.
std::wstring FreshnessSkipLine(const MailSnapshot& message, const MessageIdentity& identity,
                               std::int64_t sessionStartTicks);

class MessageAdmission {
public:
    using LogLine = std::function<void(const std::wstring&)>;

    void Reset(std::int64_t sessionStartTicks, bool includeOldMessages);

    // True when the message is new for the session. A message refused by the freshness gate is
    // logged and remembered here; an already remembered one is refused silently.
    bool Admit(const MailSnapshot& message, const LogLine& log);
    void Remember(const MailSnapshot& message) { seen_.Remember(message); }

    const SeenMemory& Seen() const { return seen_; }
    bool IncludeOldMessages() const { return includeOld_; }

private:
    std::int64_t sessionStart_ = 0;
    bool includeOld_ = false;
    SeenMemory seen_;
};

}  // namespace wrenpost
