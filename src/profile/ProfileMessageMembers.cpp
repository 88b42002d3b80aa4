// Config.json's message members. Their keys are new names, never one an older reader searches
// for; the topic objects have a shape of their own, which no recipient shape matches.
#include "profile/ProfileMessageMembers.h"

#include <algorithm>

#include "common/JsonText.h"
#include "common/Text.h"
#include "rules/RuleJsonReaders.h"

namespace wrenpost {
namespace {

struct ContentName {
    MessageContent Content;
    std::wstring_view Name;
};
constexpr ContentName kContentNames[] = {{MessageContent::SubjectOnly, L"SubjectOnly"},
                                         {MessageContent::SenderAndTime, L"SenderAndTime"},
                                         {MessageContent::Preview, L"Preview"}};

void AppendKey(std::wstring& out, std::wstring_view key) {
    out += L",\n  \"";
    out += key;
    out += L"\": ";
}

void AppendInt(std::wstring& out, std::wstring_view key, std::int64_t value,
               std::int64_t fallback) {
    if (value != fallback) {
        AppendKey(out, key);
        out += ToWideDecimal(value);
    }
}

void AppendBool(std::wstring& out, std::wstring_view key, bool value, bool fallback) {
    if (value != fallback) {
        AppendKey(out, key);
        out += value ? L"true" : L"false";
    }
}

void AppendTopics(std::wstring& out, const std::vector<RecipientTopic>& topics) {
    if (topics.empty()) {
        return;
    }
    AppendKey(out, L"RecipientTopics");
    out += L"[\n";
    for (std::size_t i = 0; i < topics.size(); ++i) {
        out += L"    {\n      \"ChatId\": \"" + JsonEscape(topics[i].ChatId) + L"\",\n";
        out += L"      \"MessageThreadId\": " + ToWideDecimal(topics[i].MessageThreadId) + L"\n";
        out += i + 1 == topics.size() ? L"    }\n" : L"    },\n";
    }
    out += L"  ]";
}

void ReadInt(std::wstring_view text, std::wstring_view key, std::int32_t low, std::int32_t high,
             std::int32_t& value) {
    std::int32_t read = 0;
    if (ReadSignedIntField(text, key, read) == IntFieldRead::Read) {
        value = std::clamp(read, low, high);
    }
}

std::vector<RecipientTopic> ReadTopics(std::wstring_view text) {
    std::vector<RecipientTopic> topics;
    for (const std::wstring_view object :
         SplitJsonObjects(ReadJsonArrayField(text, L"RecipientTopics"))) {
        std::int32_t thread = 0;
        RecipientTopic topic{ReadJsonStringField(object, L"ChatId"), 0};
        if (!topic.ChatId.empty() &&
            ReadSignedIntField(object, L"MessageThreadId", thread) == IntFieldRead::Read &&
            thread > 0) {
            topic.MessageThreadId = thread;
            topics.push_back(std::move(topic));
        }
    }
    return topics;
}

}  // namespace

void AppendMessageMembers(std::wstring& out, const ProfileConfig& config) {
    const MessageOptions& message = config.Message;
    const MessageOptions defaults;
    for (const ContentName& name : kContentNames) {
        if (name.Content == message.Content && message.Content != defaults.Content) {
            AppendKey(out, L"MessageContent");
            out += L"\"" + std::wstring(name.Name) + L"\"";
        }
    }
    AppendInt(out, L"PreviewLength", message.PreviewLength, defaults.PreviewLength);
    AppendBool(out, L"QuietHoursEnabled", message.Quiet.Enabled, defaults.Quiet.Enabled);
    AppendInt(out, L"QuietHoursDays", message.Quiet.Days, defaults.Quiet.Days);
    AppendInt(out, L"QuietHoursStart", message.Quiet.StartMinute, defaults.Quiet.StartMinute);
    AppendInt(out, L"QuietHoursEnd", message.Quiet.EndMinute, defaults.Quiet.EndMinute);
    AppendBool(out, L"CombineBursts", message.CombineBursts, defaults.CombineBursts);
    AppendInt(out, L"BurstThreshold", message.BurstThreshold, defaults.BurstThreshold);
    AppendTopics(out, config.RecipientTopics);
}

void ReadMessageMembers(std::wstring_view text, ProfileConfig& config) {
    MessageOptions& message = config.Message;
    const std::wstring content = ReadJsonStringField(text, L"MessageContent");
    for (const ContentName& name : kContentNames) {
        if (content == name.Name) {
            message.Content = name.Content;
        }
    }
    ReadInt(text, L"PreviewLength", MessageOptions::kMinPreviewLength,
            MessageOptions::kMaxPreviewLength, message.PreviewLength);
    message.Quiet.Enabled = ReadJsonBoolField(text, L"QuietHoursEnabled", false);
    std::int32_t days = message.Quiet.Days;
    ReadInt(text, L"QuietHoursDays", 0, 0x7F, days);
    message.Quiet.Days = static_cast<std::uint8_t>(days);
    constexpr std::int32_t kLastMinute = 24 * 60 - 1;
    ReadInt(text, L"QuietHoursStart", 0, kLastMinute, message.Quiet.StartMinute);
    ReadInt(text, L"QuietHoursEnd", 0, kLastMinute, message.Quiet.EndMinute);
    message.CombineBursts = ReadJsonBoolField(text, L"CombineBursts", false);
    ReadInt(text, L"BurstThreshold", MessageOptions::kMinBurstThreshold,
            MessageOptions::kMaxBurstThreshold, message.BurstThreshold);
    config.RecipientTopics = ReadTopics(text);
}

}  // namespace wrenpost
