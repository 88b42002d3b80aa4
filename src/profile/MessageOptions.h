// How a profile's notifications read and when they ring: settings kept in Config.json as
// top-level members after the older ones, each written only when it differs from its default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wrenpost {

enum class MessageContent {
    SubjectOnly,    // title, empty line, subject
    SenderAndTime,  // ... then "From:" and "Received:" lines
    Preview,        // ... then an empty line and the start of the body
};

// Days are bits, Monday = bit 0 ... Sunday = bit 6; a range belongs to the day it starts on.
struct QuietHours {
    bool Enabled = false;
    std::uint8_t Days = 0x7F;
    std::int32_t StartMinute = 22 * 60;  // minutes after local midnight
    std::int32_t EndMinute = 7 * 60;     // at or before the start: the next day
    bool operator==(const QuietHours&) const = default;
};

struct MessageOptions {
    static constexpr std::int32_t kMinPreviewLength = 1;
    static constexpr std::int32_t kMaxPreviewLength = 1000;
    static constexpr std::int32_t kMinBurstThreshold = 2;
    static constexpr std::int32_t kMaxBurstThreshold = 50;
    MessageContent Content = MessageContent::SubjectOnly;
    std::int32_t PreviewLength = 200;  // UTF-16 units
    QuietHours Quiet;
    bool CombineBursts = false;
    std::int32_t BurstThreshold = 5;  // more than this many waiting for one chat: one message
    bool operator==(const MessageOptions&) const = default;
};

// A recipient's forum topic; kept apart from the recipient objects, whose shape older versions
// match exactly.
struct RecipientTopic {
    std::wstring ChatId;
    std::int64_t MessageThreadId = 0;
    bool operator==(const RecipientTopic&) const = default;
};

}  // namespace wrenpost
