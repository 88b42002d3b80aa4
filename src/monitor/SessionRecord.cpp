#include "monitor/SessionRecord.h"

#include <cstdlib>

#include "common/Text.h"
#include "common/TextFile.h"
#include "monitor/OutboxRecord.h"

namespace wrenpost {
namespace {

const wchar_t* EndName(SessionEnd end) {
    switch (end) {
        case SessionEnd::User:
            return L"User";
        case SessionEnd::Windows:
            return L"Windows";
        case SessionEnd::Running:
            break;
    }
    return L"Running";
}

}  // namespace

std::filesystem::path SessionRecordPath(const std::filesystem::path& outboxFolder) {
    return outboxFolder / L"Session.json";
}

std::wstring FormatSessionRecord(const SessionRecord& record) {
    return L"{\n  \"Format\": 1,\n  \"LastCycleUtcTicks\": " + ToWideDecimal(record.LastCycleUtc) +
           L",\n  \"Ended\": \"" + EndName(record.Ended) + L"\"\n}\n";
}

std::optional<SessionRecord> ParseSessionRecord(std::wstring_view text) {
    const std::size_t open = text.find(L'{');
    const std::size_t close = text.rfind(L'}');
    if (open == std::wstring_view::npos || close == std::wstring_view::npos || close < open) {
        return std::nullopt;
    }
    const auto members = SplitObjectMembers(text.substr(open, close - open + 1));
    if (!members) {
        return std::nullopt;
    }
    SessionRecord record;
    bool haveTime = false;
    for (const auto& [key, raw] : *members) {
        if (key == L"LastCycleUtcTicks") {
            wchar_t* end = nullptr;
            const std::wstring digits(raw);
            record.LastCycleUtc = std::wcstoll(digits.c_str(), &end, 10);
            haveTime = end != nullptr && *end == L'\0' && !digits.empty();
        } else if (key == L"Ended") {
            record.Ended = raw == L"\"User\""      ? SessionEnd::User
                           : raw == L"\"Windows\"" ? SessionEnd::Windows
                                                   : SessionEnd::Running;
        }
    }
    return haveTime ? std::optional(record) : std::nullopt;
}

std::optional<SessionRecord> ReadSessionRecord(const std::filesystem::path& outboxFolder) {
    std::wstring text;
    if (!ReadTextFile(SessionRecordPath(outboxFolder), text)) {
        return std::nullopt;
    }
    return ParseSessionRecord(text);
}

bool WriteSessionRecord(const std::filesystem::path& outboxFolder, const SessionRecord& record) {
    try {
        return WriteTextFileAtomically(SessionRecordPath(outboxFolder),
                                       FormatSessionRecord(record));
    } catch (...) {
        return false;
    }
}

std::optional<std::int64_t> ResumeCutoff(const std::optional<SessionRecord>& previous,
                                         std::int64_t nowUtc, std::int64_t windowTicks) {
    if (!previous || previous->Ended == SessionEnd::User || previous->LastCycleUtc <= 0 ||
        previous->LastCycleUtc > nowUtc || nowUtc - previous->LastCycleUtc >= windowTicks) {
        return std::nullopt;
    }
    return previous->LastCycleUtc;
}

}  // namespace wrenpost
