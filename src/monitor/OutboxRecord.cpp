// Writing and reading one outbox record.
#include "monitor/OutboxRecord.h"

#include <algorithm>

#include "common/JsonText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

// The members this version writes, in order; anything else is kept as Unknown.
constexpr std::wstring_view kKnown[] = {
    L"Format",           L"Sequence", L"QueuedUtcTicks", L"MessageKey",   L"PassOverKey",
    L"FolderPath",       L"Subject",  L"SenderName",     L"ReceivedTime", L"DeliveryTimeKnown",
    L"DeliveryUtcTicks", L"Title",    L"Body",           L"Recipients"};
// Written after them, and only when not at their defaults.
constexpr std::wstring_view kSummaryLine = L"SummaryLine";
constexpr std::wstring_view kDisableLinkPreview = L"DisableLinkPreview";
constexpr std::wstring_view kSilent = L"Silent";
constexpr std::wstring_view kMessageThreadId = L"MessageThreadId";

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + JsonEscape(text) + L"\"";
}

void AppendMember(std::wstring& out, const wchar_t* indent, std::wstring_view key,
                  const std::wstring& raw, bool comma) {
    out += indent;
    out += L'"';
    out += JsonEscape(key);
    out += L"\": ";
    out += raw;
    out += comma ? L",\n" : L"\n";
}

std::wstring FormatRecipients(const std::vector<OutboxRecipient>& recipients) {
    std::wstring out = L"[";
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        const OutboxRecipient& r = recipients[i];
        out += L"\n    {\"ChatId\": " + Quoted(r.ChatId) + L", \"State\": " +
               Quoted(RecipientStateName(r.State));
        if (r.MessageThreadId != 0) {
            out += L", " + Quoted(std::wstring(kMessageThreadId)) + L": " +
                   ToWideDecimal(r.MessageThreadId);
        }
        for (const auto& [key, raw] : r.Unknown) {
            out += L", " + Quoted(key) + L": " + raw;
        }
        out += i + 1 < recipients.size() ? L"}," : L"}";
    }
    out += recipients.empty() ? L"]" : L"\n  ]";
    return out;
}

std::optional<std::int64_t> ParseInteger(std::wstring_view raw) {
    if (raw.empty() || raw.size() > 20) {
        return std::nullopt;
    }
    const bool negative = raw[0] == L'-';
    std::size_t i = negative ? 1 : 0;
    if (i == raw.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (; i < raw.size(); ++i) {
        if (raw[i] < L'0' || raw[i] > L'9') {
            return std::nullopt;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(raw[i] - L'0');
        if (value > (9223372036854775807ULL - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

std::optional<std::wstring> ParseString(std::wstring_view raw) {
    std::wstring_view inner;
    if (raw.empty() || raw[0] != L'"' || MatchQuotedRaw(raw, 0, &inner) != raw.size()) {
        return std::nullopt;
    }
    return JsonUnescape(inner);
}

std::optional<RecipientState> ParseState(std::wstring_view name) {
    for (RecipientState state : {RecipientState::Pending, RecipientState::Delivered,
                                 RecipientState::Refused, RecipientState::Dropped}) {
        if (name == RecipientStateName(state)) {
            return state;
        }
    }
    return std::nullopt;
}

// Skips one raw value starting at `pos`; the position after it, or nothing.
std::optional<std::size_t> SkipValue(std::wstring_view text, std::size_t pos) {
    if (pos >= text.size()) {
        return std::nullopt;
    }
    if (text[pos] == L'"') {
        return MatchQuotedRaw(text, pos, nullptr);
    }
    if (text[pos] == L'{' || text[pos] == L'[') {
        const std::size_t close = FindClosingBracket(text, pos, L"{[", L"}]");
        return close == std::wstring_view::npos ? std::nullopt : std::optional(close + 1);
    }
    std::size_t end = pos;
    while (end < text.size() && text[end] != L',' && text[end] != L'}' && text[end] != L']' &&
           !IsJsonPatternSpace(text[end])) {
        ++end;
    }
    return end > pos ? std::optional<std::size_t>(end) : std::nullopt;
}

bool ReadRecipients(std::wstring_view raw, std::vector<OutboxRecipient>& out) {
    std::size_t pos = SkipPatternSpace(raw, 0);
    if (pos >= raw.size() || raw[pos] != L'[') {
        return false;
    }
    pos = SkipPatternSpace(raw, pos + 1);
    while (pos < raw.size() && raw[pos] != L']') {
        const std::optional<std::size_t> end = SkipValue(raw, pos);
        if (!end || raw[pos] != L'{') {
            return false;
        }
        const auto members = SplitObjectMembers(raw.substr(pos, *end - pos));
        if (!members) {
            return false;
        }
        OutboxRecipient recipient;
        bool haveChat = false, haveState = false;
        for (const auto& [key, value] : *members) {
            if (key == L"ChatId") {
                const auto chat = ParseString(value);
                haveChat = chat.has_value();
                recipient.ChatId = chat.value_or(L"");
            } else if (key == L"State") {
                const auto state = ParseString(value);
                const auto parsed = state ? ParseState(*state) : std::nullopt;
                haveState = parsed.has_value();
                recipient.State = parsed.value_or(RecipientState::Pending);
            } else if (key == kMessageThreadId) {
                const auto thread = ParseInteger(value);
                if (!thread) {
                    return false;
                }
                recipient.MessageThreadId = *thread;
            } else {
                recipient.Unknown.emplace_back(key, value);
            }
        }
        if (!haveChat || !haveState) {
            return false;
        }
        out.push_back(std::move(recipient));
        pos = SkipPatternSpace(raw, *end);
        if (pos < raw.size() && raw[pos] == L',') {
            pos = SkipPatternSpace(raw, pos + 1);
        }
    }
    return pos < raw.size();
}

bool ApplyMember(OutboxRecord& record, const std::wstring& key, const std::wstring& raw) {
    const auto text = [&](std::wstring& field) {
        const auto value = ParseString(raw);
        field = value.value_or(L"");
        return value.has_value();
    };
    const auto number = [&](std::int64_t& field) {
        const auto value = ParseInteger(raw);
        field = value.value_or(0);
        return value.has_value();
    };
    if (key == L"Format") {
        std::int64_t format = 0;
        return number(format) && format == OutboxRecord::kFormat;
    }
    if (key == L"Sequence")
        return number(record.Sequence);
    if (key == L"QueuedUtcTicks")
        return number(record.QueuedUtc);
    if (key == L"MessageKey")
        return text(record.MessageKey);
    if (key == L"PassOverKey")
        return text(record.PassOverKey);
    if (key == L"FolderPath")
        return text(record.FolderPath);
    if (key == L"Subject")
        return text(record.Subject);
    if (key == L"SenderName")
        return text(record.SenderName);
    if (key == L"ReceivedTime")
        return text(record.ReceivedTime);
    if (key == L"DeliveryUtcTicks")
        return number(record.DeliveryTimeUtc);
    if (key == L"Title")
        return text(record.Title);
    if (key == L"Body")
        return text(record.Body);
    if (key == L"DeliveryTimeKnown") {
        record.DeliveryTimeKnown = raw == L"true";
        return raw == L"true" || raw == L"false";
    }
    if (key == L"Recipients")
        return ReadRecipients(raw, record.Recipients);
    if (key == kSummaryLine)
        return text(record.SummaryLine);
    if (key == kDisableLinkPreview || key == kSilent) {
        bool& flag = key == kSilent ? record.Silent : record.DisableLinkPreview;
        flag = raw == L"true";
        return raw == L"true" || raw == L"false";
    }
    record.Unknown.emplace_back(key, raw);
    return true;
}

}  // namespace

const wchar_t* RecipientStateName(RecipientState state) {
    switch (state) {
        case RecipientState::Pending:
            return L"Pending";
        case RecipientState::Delivered:
            return L"Delivered";
        case RecipientState::Refused:
            return L"Refused";
        case RecipientState::Dropped:
            return L"Dropped";
    }
    return L"Pending";
}

bool OutboxRecord::Settled() const {
    return std::none_of(Recipients.begin(), Recipients.end(), [](const OutboxRecipient& r) {
        return r.State == RecipientState::Pending;
    });
}

std::wstring FormatOutboxRecord(const OutboxRecord& r) {
    const std::wstring values[] = {ToWideDecimal(OutboxRecord::kFormat),
                                   ToWideDecimal(r.Sequence),
                                   ToWideDecimal(r.QueuedUtc),
                                   Quoted(r.MessageKey),
                                   Quoted(r.PassOverKey),
                                   Quoted(r.FolderPath),
                                   Quoted(r.Subject),
                                   Quoted(r.SenderName),
                                   Quoted(r.ReceivedTime),
                                   r.DeliveryTimeKnown ? L"true" : L"false",
                                   ToWideDecimal(r.DeliveryTimeUtc),
                                   Quoted(r.Title),
                                   Quoted(r.Body),
                                   FormatRecipients(r.Recipients)};
    std::vector<RawMember> later;
    if (!r.SummaryLine.empty())
        later.emplace_back(kSummaryLine, Quoted(r.SummaryLine));
    if (r.DisableLinkPreview)
        later.emplace_back(kDisableLinkPreview, L"true");
    if (r.Silent)
        later.emplace_back(kSilent, L"true");
    later.insert(later.end(), r.Unknown.begin(), r.Unknown.end());
    std::wstring out = L"{\n";
    const std::size_t known = std::size(kKnown);
    for (std::size_t i = 0; i < known; ++i) {
        AppendMember(out, L"  ", kKnown[i], values[i], i + 1 < known || !later.empty());
    }
    for (std::size_t i = 0; i < later.size(); ++i) {
        AppendMember(out, L"  ", later[i].first, later[i].second, i + 1 < later.size());
    }
    out += L"}\n";
    return out;
}

std::optional<OutboxRecord> ParseOutboxRecord(std::wstring_view text) {
    const std::size_t open = SkipPatternSpace(text, 0);
    const auto end = SkipValue(text, open);
    if (!end || text[open] != L'{' || SkipPatternSpace(text, *end) != text.size()) {
        return std::nullopt;
    }
    const auto members = SplitObjectMembers(text.substr(open, *end - open));
    if (!members) {
        return std::nullopt;
    }
    OutboxRecord record;
    bool formatSeen = false;
    for (const auto& [key, raw] : *members) {
        formatSeen = formatSeen || key == L"Format";
        if (!ApplyMember(record, key, raw)) {
            return std::nullopt;
        }
    }
    if (!formatSeen || record.Recipients.empty()) {
        return std::nullopt;
    }
    return record;
}

std::optional<std::vector<RawMember>> SplitObjectMembers(std::wstring_view text) {
    std::vector<RawMember> members;
    if (text.empty() || text[0] != L'{') {
        return std::nullopt;
    }
    std::size_t pos = SkipPatternSpace(text, 1);
    if (pos < text.size() && text[pos] == L'}') {
        return pos + 1 == text.size() ? std::optional(members) : std::nullopt;
    }
    while (pos < text.size()) {
        std::wstring_view key;
        const auto afterKey = text[pos] == L'"' ? MatchQuotedRaw(text, pos, &key) : std::nullopt;
        if (!afterKey) {
            return std::nullopt;
        }
        pos = SkipPatternSpace(text, *afterKey);
        if (pos >= text.size() || text[pos] != L':') {
            return std::nullopt;
        }
        pos = SkipPatternSpace(text, pos + 1);
        const auto afterValue = SkipValue(text, pos);
        if (!afterValue) {
            return std::nullopt;
        }
        members.emplace_back(JsonUnescape(key), std::wstring(text.substr(pos, *afterValue - pos)));
        pos = SkipPatternSpace(text, *afterValue);
        if (pos < text.size() && text[pos] == L',') {
            pos = SkipPatternSpace(text, pos + 1);
        } else if (pos < text.size() && text[pos] == L'}') {
            return pos + 1 == text.size() ? std::optional(members) : std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace wrenpost
