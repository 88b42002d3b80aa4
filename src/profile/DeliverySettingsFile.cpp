#include "profile/DeliverySettingsFile.h"

#include <algorithm>
#include <optional>

#include "common/JsonText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

std::wstring Quoted(std::wstring_view key) {
    return L"\"" + std::wstring(key) + L"\"";
}

// The position just after `"key"\s*:\s*`; npos when absent.
std::size_t ValueAt(std::wstring_view text, std::wstring_view key) {
    const std::wstring quoted = Quoted(key);
    for (std::size_t at = text.find(quoted); at != std::wstring_view::npos;
         at = text.find(quoted, at + 1)) {
        const std::size_t colon = SkipPatternSpace(text, at + quoted.size());
        if (colon < text.size() && text[colon] == L':') {
            return SkipPatternSpace(text, colon + 1);
        }
    }
    return std::wstring_view::npos;
}

std::optional<std::int64_t> ReadNumber(std::wstring_view text, std::wstring_view key) {
    std::size_t at = ValueAt(text, key);
    if (at == std::wstring_view::npos) {
        return std::nullopt;
    }
    const bool negative = at < text.size() && text[at] == L'-';
    at += negative ? 1 : 0;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9' && digits < 18;
         ++at, ++digits) {
        value = value * 10 + (text[at] - L'0');
    }
    return digits == 0 ? std::nullopt : std::optional(negative ? -value : value);
}

// The text between the brackets that follow `"key":`; empty when absent.
std::wstring_view Enclosed(std::wstring_view text, std::wstring_view key, wchar_t open) {
    const std::size_t at = ValueAt(text, key);
    if (at == std::wstring_view::npos || at >= text.size() || text[at] != open) {
        return {};
    }
    const std::size_t close = FindClosingBracket(text, at, L"{[", L"}]");
    return close == std::wstring_view::npos ? std::wstring_view()
                                            : text.substr(at + 1, close - at - 1);
}

void Append(std::wstring& out, std::wstring_view key, const std::wstring& value) {
    out += (out.empty() ? L"  " : L",\n  ") + Quoted(key) + L": " + value;
}

std::wstring Number(std::int64_t value) {
    return ToWideDecimal(value);
}

}  // namespace

std::wstring FormatDeliverySettings(const ProfileConfig& config) {
    const MessageOptions defaults;
    const MessageOptions& m = config.Message;
    std::wstring out;
    if (m.Content != defaults.Content) {
        Append(out, L"MessageContent", Number(static_cast<int>(m.Content)));
    }
    if (m.PreviewLength != defaults.PreviewLength) {
        Append(out, L"PreviewLength", Number(m.PreviewLength));
    }
    if (m.Quiet != defaults.Quiet) {
        Append(out, L"QuietHours",
               std::wstring(L"{\"Enabled\": ") + (m.Quiet.Enabled ? L"true" : L"false") +
                   L", \"Days\": " + Number(m.Quiet.Days) + L", \"StartMinute\": " +
                   Number(m.Quiet.StartMinute) + L", \"EndMinute\": " + Number(m.Quiet.EndMinute) +
                   L"}");
    }
    if (m.CombineBursts != defaults.CombineBursts) {
        Append(out, L"CombineBursts", m.CombineBursts ? L"true" : L"false");
    }
    if (m.BurstThreshold != defaults.BurstThreshold) {
        Append(out, L"BurstThreshold", Number(m.BurstThreshold));
    }
    if (!config.RecipientTopics.empty()) {
        std::wstring topics = L"[";
        for (const RecipientTopic& topic : config.RecipientTopics) {
            topics += (topics.size() > 1 ? L", " : L"") + std::wstring(L"{\"ChatId\": \"") +
                      JsonEscape(topic.ChatId) + L"\", \"MessageThreadId\": " +
                      Number(topic.MessageThreadId) + L"}";
        }
        Append(out, L"RecipientTopics", topics + L"]");
    }
    return out.empty() ? out : out + L"\n";
}

void ReadDeliverySettings(std::wstring_view text, ProfileConfig& config) {
    MessageOptions& m = config.Message;
    const auto number = [&](std::wstring_view in, std::wstring_view key, auto low, auto high,
                            auto fallback) {
        const auto value = ReadNumber(in, key);
        return static_cast<decltype(fallback)>(value ? std::clamp<std::int64_t>(*value, low, high)
                                                     : fallback);
    };
    m.Content = static_cast<MessageContent>(
        number(text, L"MessageContent", 0, 2, static_cast<int>(m.Content)));
    m.PreviewLength = number(text, L"PreviewLength", MessageOptions::kMinPreviewLength,
                             MessageOptions::kMaxPreviewLength, m.PreviewLength);
    if (const std::wstring_view quiet = Enclosed(text, L"QuietHours", L'{'); !quiet.empty()) {
        m.Quiet.Enabled = ReadJsonBoolField(quiet, L"Enabled", false);
        m.Quiet.Days = number(quiet, L"Days", 0, 0x7F, m.Quiet.Days);
        m.Quiet.StartMinute = number(quiet, L"StartMinute", 0, 24 * 60 - 1, m.Quiet.StartMinute);
        m.Quiet.EndMinute = number(quiet, L"EndMinute", 0, 24 * 60 - 1, m.Quiet.EndMinute);
    }
    m.CombineBursts = ReadJsonBoolField(text, L"CombineBursts", m.CombineBursts);
    m.BurstThreshold = number(text, L"BurstThreshold", MessageOptions::kMinBurstThreshold,
                              MessageOptions::kMaxBurstThreshold, m.BurstThreshold);
    const std::wstring_view topics = Enclosed(text, L"RecipientTopics", L'[');
    for (std::size_t open = topics.find(L'{'); open != std::wstring_view::npos;) {
        const std::size_t close = FindClosingBracket(topics, open, L"{[", L"}]");
        if (close == std::wstring_view::npos) {
            break;
        }
        const std::wstring_view object = topics.substr(open, close - open + 1);
        const std::wstring chatId = ReadJsonStringField(object, L"ChatId");
        const auto thread = ReadNumber(object, L"MessageThreadId");
        if (!chatId.empty() && thread && *thread > 0) {
            config.RecipientTopics.push_back({chatId, *thread});
        }
        open = topics.find(L'{', close);
    }
}

}  // namespace wrenpost
