// One waiting notification as the outbox keeps it on disk: the finished text, the mail it came
// from and where each recipient stands. The layout is documented in docs/outbox.md; members a
// later version adds are kept as they were written when this version rewrites a record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wrenpost {

enum class RecipientState {
    Pending,    // not delivered yet
    Delivered,  // Telegram accepted it
    Refused,    // blocked, deactivated, kicked or chat not found: never retried
    Dropped,    // Telegram rejected this message, or the recipient is no longer allowed
};

const wchar_t* RecipientStateName(RecipientState state);

// A member of an object as written: its key and its raw JSON value text.
using RawMember = std::pair<std::wstring, std::wstring>;

struct OutboxRecipient {
    std::wstring ChatId;
    RecipientState State = RecipientState::Pending;
    std::int64_t MessageThreadId = 0;  // the forum topic to post in; 0: none (not written)
    std::vector<RawMember> Unknown;

    bool operator==(const OutboxRecipient&) const = default;
};

struct OutboxRecord {
    static constexpr std::int32_t kFormat = 1;

    std::int64_t Sequence = 0;   // queue order, unique within the outbox
    std::int64_t QueuedUtc = 0;  // 100 ns ticks since 1970
    std::wstring MessageKey;     // the mail's identity key
    std::wstring PassOverKey;    // store + entry id; empty when unknown
    std::wstring FolderPath;
    std::wstring Subject;
    std::wstring SenderName;
    std::wstring ReceivedTime;  // local text, as read
    bool DeliveryTimeKnown = false;
    std::int64_t DeliveryTimeUtc = 0;
    std::wstring Title;
    std::wstring Body;
    std::vector<OutboxRecipient> Recipients;
    // Written only when set, after Recipients, so a record without them reads as before.
    std::wstring SummaryLine;         // the mail on one line, for a combined burst message
    bool DisableLinkPreview = false;  // sendMessage's link_preview_options is_disabled
    bool Silent = false;              // always sent with disable_notification
    std::vector<RawMember> Unknown;   // members of a later version, kept in order

    bool operator==(const OutboxRecord&) const = default;

    bool Settled() const;  // no recipient pending
};

// The file text with "\n" line ends.
std::wstring FormatOutboxRecord(const OutboxRecord& record);
// Nothing when the text is not a record of a format this version reads.
std::optional<OutboxRecord> ParseOutboxRecord(std::wstring_view text);

// The members of one JSON object in order (keys unescaped, values raw); nothing when the text is
// not one object. Linear, without recursion.
std::optional<std::vector<RawMember>> SplitObjectMembers(std::wstring_view objectText);

}  // namespace wrenpost
