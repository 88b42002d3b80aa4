// Admission of messages read in a monitor cycle.
#include "monitor/MonitorAdmission.h"

#include <cwchar>

namespace wrenpost {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;

std::int64_t WholeSeconds(std::int64_t ticks) {
    const std::int64_t seconds = ticks / kTicksPerSecond;
    return ticks % kTicksPerSecond < 0 ? seconds - 1 : seconds;
}

}  // namespace

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
        case IdentitySource::InternetMessageId:
            return L"InternetMessageId";
        case IdentitySource::StoreIdEntryId:
            return L"StoreId+EntryId";
        case IdentitySource::LegacyComposite:
            return L"LegacyComposite";
    }
    return L"LegacyComposite";
}

const wchar_t* TimestampSourceName(std::uint32_t source) {
    switch (source) {
        case MapiDeliveryTime:
            return L"MapiDeliveryTime";
        case ObjectModelReceivedTime:
            return L"ObjectModelReceivedTime";
        case SubmitOrSentTime:
            return L"SubmitOrSentTime";
        default:
            return L"Unknown";
    }
}

std::int64_t ToTicksSince1970(std::chrono::system_clock::time_point time) {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(time.time_since_epoch()).count();
}

std::wstring FormatIso8601Utc(std::int64_t ticksSince1970) {
    // Calendar arithmetic of our own: the C runtimes disagree on times before 1970.
    const std::int64_t seconds = ticksSince1970 / 10000000;  // truncates toward zero
    std::int64_t days = seconds / 86400;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // Days since 1970-01-01 to the proleptic Gregorian date (era-based, exact for all int64).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    wchar_t buffer[64];
    const int length = std::swprintf(
        buffer, 64, L"%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
        static_cast<long long>(month), static_cast<long long>(day),
        static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
        static_cast<long long>(secondOfDay % 60));
    return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length)) : std::wstring();
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
    // Outlook's delivery times are whole seconds: a mail delivered in the second START was pressed
    // counts as new, or it would be lost for good (at worst one mail already there is sent).
    if (message.DeliveryTimeKnown &&
        WholeSeconds(message.DeliveryTimeUtc) >= WholeSeconds(sessionStart_)) {
        return true;
    }
    if (log) {
        log(FreshnessSkipLine(message, identity, sessionStart_));
    }
    seen_.Remember(message);
    return false;
}

}  // namespace wrenpost
