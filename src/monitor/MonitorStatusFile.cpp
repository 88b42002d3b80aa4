// Writing <ProfileName>Monitor.json field by field in its fixed layout.
#include "monitor/MonitorStatusFile.h"


#include "common/JsonText.h"
#include "common/Text.h"
#include "common/TextFile.h"

namespace wrenpost {
namespace {

void AppendStringMember(std::wstring& out, const wchar_t* indent, const wchar_t* name,
                        const std::wstring& value, bool comma) {
    out += indent;
    out += L'"';
    out += name;
    out += L"\": \"";
    out += JsonEscape(value);
    out += comma ? L"\",\n" : L"\"\n";
}

void AppendCountMember(std::wstring& out, const wchar_t* name, std::int32_t value) {
    out += L"  \"";
    out += name;
    out += L"\": ";
    out += ToWideDecimal(value);
    out += L",\n";
}

}  // namespace

std::wstring FormatMonitorStatus(const MonitorStatusReport& report) {
    std::wstring out;
    const std::size_t count = report.SeenMessages ? report.SeenMessages->size() : 0;
    out.reserve(256 + count * 256);
    out += L"{\n";
    AppendStringMember(out, L"  ", L"ProfileName", report.ProfileName, true);
    AppendStringMember(out, L"  ", L"Status", report.Status, true);
    AppendStringMember(out, L"  ", L"LastCheck", report.LastCheck, true);
    AppendCountMember(out, L"MessagesSent", report.MessagesSent);
    AppendCountMember(out, L"QueueCount", report.QueueCount);
    AppendCountMember(out, L"OutboxCount", report.OutboxCount);
    out += L"  \"SeenMessages\": [\n";
    std::size_t index = 0;
    if (report.SeenMessages) {
        for (const MailSnapshot& entry : *report.SeenMessages) {
            out += L"    {\n";
            AppendStringMember(out, L"      ", L"FolderPath", entry.FolderPath, true);
            AppendStringMember(out, L"      ", L"Subject", entry.Subject, true);
            AppendStringMember(out, L"      ", L"SenderName", entry.SenderName, true);
            AppendStringMember(out, L"      ", L"ReceivedTime", entry.ReceivedTime, true);
            AppendStringMember(out, L"      ", L"EntryId", entry.EntryId, false);
            out += ++index < count ? L"    },\n" : L"    }\n";
        }
    }
    out += L"  ]\n";
    out += L"}\n";
    return out;
}

std::optional<std::wstring> ReplaceMonitorStatus(std::wstring_view text, std::wstring_view status) {
    constexpr std::wstring_view kMember = L"\n  \"Status\": \"";
    const std::size_t start = text.find(kMember);
    if (start == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::size_t valueStart = start + kMember.size();
    std::size_t end = valueStart;
    while (end < text.size() && text[end] != L'"') {
        end += text[end] == L'\\' ? 2 : 1;
    }
    if (end >= text.size()) {
        return std::nullopt;
    }
    std::wstring out(text.substr(0, valueStart));
    out += JsonEscape(status);
    out += text.substr(end);
    return out;
}

bool WriteMonitorStatusFile(const std::filesystem::path& path, const MonitorStatusReport& report) {
    try {
        return WriteTextFileAtomically(path, FormatMonitorStatus(report));
    } catch (...) {
        // A status report must never disturb monitoring.
        return false;
    }
}

}  // namespace wrenpost
