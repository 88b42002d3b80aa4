// One Outlook message as read in a monitor cycle: plain values that outlive the COM connection.
#pragma once

#include <cstdint>
#include <string>

namespace wrenpost {

enum TimestampSourceKind : std::uint32_t {
    MapiDeliveryTime = 0,
    ObjectModelReceivedTime = 1,
    SubmitOrSentTime = 2,
    UnknownTimestampSource = 3,
};

struct MailSnapshot {
    std::wstring FolderPath;
    std::wstring Subject;
    std::wstring SenderName;
    // Read only for admitted mail and only when the profile's message level shows them.
    std::wstring SenderAddress;  // SMTP, also for an Exchange sender; empty when unknown
    std::wstring Body;           // plain text
    std::wstring ReceivedTime;  // local "%04d-%02d-%02d %02d:%02d:%02d", empty when not a date
    std::wstring EntryId;
    std::wstring StoreId;
    std::wstring InternetMessageId;
    std::int64_t DeliveryTimeUtc = 0;  // 100 ns ticks since 1970 UTC, when DeliveryTimeKnown
    std::uint32_t TimestampSource = UnknownTimestampSource;
    bool DeliveryTimeKnown = false;
    std::wstring DeliveryDiagnostics;

    bool operator==(const MailSnapshot&) const = default;
};

}  // namespace wrenpost
