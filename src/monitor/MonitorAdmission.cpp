// Admission of messages read in a monitor cycle.
#include "monitor/MonitorAdmission.h"

#include <ctime>
#include <cwchar>

#include "common/LocalTime.h"

namespace wrenpost {

MessageIdentity IdentifyMessage(const MailSnapshot& message) {
    MessageIdentity identity;
    if (!message.InternetMessageId.empty()) {
        identity.Key = L"imid||" + message.InternetMessageId;
        identity.Source = IdentitySource::InternetMessageId;
    } else if (!message.StoreId.empty() && !message.EntryId.empty()) {
        identity.Key = L"store+entry||" + message.StoreId + L"||" + message.EntryId;
        identity.Source = IdentitySource::StoreIdEntryId;
    } else {
        identity.Key = message.FolderPath + L"||" + message.Subject + L"||" + message.SenderName +
                       L"||" + message.ReceivedTime;
        identity.Source = IdentitySource::LegacyComposite;
    }
    return identity;
}

const wchar_t* IdentitySourceName(IdentitySource source) {
    switch (source) {
        case IdentitySource::InternetMessageId: return L"InternetMessageId";
        case IdentitySource::StoreIdEntryId: return L"StoreId+EntryId";
        case IdentitySource::LegacyComposite: return L"LegacyComposite";
    }
    return L"LegacyComposite";
}

const wchar_t* TimestampSourceName(std::uint32_t source) {
    switch (source) {
        case MapiDeliveryTime: return L"MapiDeliveryTime";
        case ObjectModelReceivedTime: return L"ObjectModelReceivedTime";
        case SubmitOrSentTime: return L"SubmitOrSentTime";
        default: return L"Unknown";
    }
}

std::int64_t ToTicksSince1970(std::chrono::system_clock::time_point time) {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count();
}

std::wstring FormatIso8601Utc(std::int64_t ticksSince1970) {
    const std::int64_t seconds = ticksSince1970 / 10000000;  // C++ division truncates toward zero
    std::tm calendar{};
    if (!ToUtcCalendar(static_cast<std::time_t>(seconds), calendar)) {
        return std::wstring();
    }
    wchar_t buffer[64];
    const std::size_t length = std::wcsftime(buffer, 64, L"%Y-%m-%dT%H:%M:%SZ", &calendar);
    return std::wstring(buffer, length);
}

void SeenMemory::Clear() {
    entries_.clear();
    keys_.clear();
}

void SeenMemory::Remember(const MailSnapshot& message) {
    entries_.push_back(message);
    keys_.insert(IdentifyMessage(message).Key);
    if (entries_.size() <= kCapacity) {
        return;
    }
    while (entries_.size() > kCapacity) {
        entries_.pop_front();
    }
    keys_.clear();
    for (const MailSnapshot& entry : entries_) {
        keys_.insert(IdentifyMessage(entry).Key);
    }
}

std::wstring FreshnessSkipLine(const MailSnapshot& message, const MessageIdentity& identity,
                               std::int64_t sessionStartTicks) {
    const bool known = message.DeliveryTimeKnown;
    std::wstring line = known ? L"STALE_SKIPPED" : L"FRESHNESS_UNKNOWN_SKIPPED";
    line += L" Subject=\"";
    line += message.Subject;
    line += L"\" DeliveryTimeUtc=";
    line += known ? FormatIso8601Utc(message.DeliveryTimeUtc) : std::wstring(L"unknown");
    line += L" MonitorStartedUtc=";
    line += FormatIso8601Utc(sessionStartTicks);
    line += L" TimestampSource=";
    line += TimestampSourceName(message.TimestampSource);
    line += L" IdentitySource=";
    line += IdentitySourceName(identity.Source);
    line += L" Reason=";
    if (known) {
        line += L"delivery time at or before monitoring session start";
    } else {
        line += L"every safe delivery-time source failed (";
        line += message.DeliveryDiagnostics;
        line += L")";
    }
    return line;
}

void MessageAdmission::Reset(std::int64_t sessionStartTicks, bool includeOldMessages) {
    sessionStart_ = sessionStartTicks;
    includeOld_ = includeOldMessages;
    seen_.Clear();
}

bool MessageAdmission::Admit(const MailSnapshot& message, const LogLine& log) {
    const MessageIdentity identity = IdentifyMessage(message);
    if (seen_.Contains(identity.Key)) {
        return false;
    }
    if (includeOld_) {
        return true;
    }
    if (message.DeliveryTimeKnown && message.DeliveryTimeUtc > sessionStart_) {
        return true;
    }
    if (log) {
        log(FreshnessSkipLine(message, identity, sessionStart_));
    }
    seen_.Remember(message);
    return false;
}

}  // namespace wrenpost
