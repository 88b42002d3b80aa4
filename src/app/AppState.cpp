// AppState.json: written line by line with verbatim values, read back by key search so that a
// damaged value costs only its own field.
#include "app/AppState.h"

#include <limits>
#include <optional>

#include "common/Text.h"
#include "common/TextFile.h"
#include "profile/ConfigFileLock.h"

namespace wrenpost {
namespace {

bool IsLineSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Position just after the colon of the first "key" that is followed by a colon. A quoted text
// not followed by a colon is a value, not a key: a profile named LastProfileFolder must not be
// taken for the LastProfileFolder key. Files as written always have the colon right after the key.
std::optional<std::size_t> FindValueStart(std::wstring_view text, std::wstring_view key) {
    std::wstring quoted;
    quoted.reserve(key.size() + 2);
    quoted.push_back(L'"');
    quoted.append(key);
    quoted.push_back(L'"');
    for (std::size_t keyAt = text.find(quoted); keyAt != std::wstring_view::npos;
         keyAt = text.find(quoted, keyAt + 1)) {
        std::size_t pos = keyAt + quoted.size();
        while (pos < text.size() && IsLineSpace(text[pos])) {
            ++pos;
        }
        if (pos < text.size() && text[pos] == L':') {
            return pos + 1;
        }
    }
    return std::nullopt;
}

std::wstring ReadVerbatimText(std::wstring_view text, std::wstring_view key) {
    const auto start = FindValueStart(text, key);
    if (!start) {
        return std::wstring();
    }
    const std::size_t open = text.find(L'"', *start);
    if (open == std::wstring_view::npos) {
        return std::wstring();
    }
    const std::size_t close = text.find(L'"', open + 1);
    if (close == std::wstring_view::npos) {
        return std::wstring();
    }
    return std::wstring(text.substr(open + 1, close - open - 1));
}

// The bare value after the key's colon, up to the next ',' or '}', trimmed.
std::optional<std::wstring> ReadBareValue(std::wstring_view text, std::wstring_view key) {
    const auto start = FindValueStart(text, key);
    if (!start) {
        return std::nullopt;
    }
    std::size_t end = text.find_first_of(L",}", *start);
    if (end == std::wstring_view::npos) {
        end = text.size();
    }
    return TrimWhitespace(text.substr(*start, end - *start));
}

// A decimal 64-bit integer that must use the whole text: optional sign, then digits only.
std::int64_t ParseWholeInt64(std::wstring_view digits) {
    bool negative = false;
    if (!digits.empty() && (digits.front() == L'+' || digits.front() == L'-')) {
        negative = digits.front() == L'-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return 0;
    }
    // Accumulate as a negative number so that the minimum value fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return 0;
        }
        const int digit = c - L'0';
        if (value < (kMin + digit) / 10) {
            return 0;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin) {
            return 0;
        }
        value = -value;
    }
    return value;
}

void AppendTextLine(std::wstring& out, std::wstring_view key, std::wstring_view value) {
    out += L"  \"";
    out += key;
    out += L"\": \"";
    out += value;
    out += L"\",\n";
}

}  // namespace

std::wstring FormatAppState(const AppState& state) {
    std::wstring out = L"{\n";
    AppendTextLine(out, L"LastProfile", state.LastProfile);
    out += L"  \"SuppressMasterToggleReminder\": ";
    out += state.SuppressMasterToggleReminder ? L"true,\n" : L"false,\n";
    AppendTextLine(out, L"LastProfileFolder", state.LastProfileFolder);
    AppendTextLine(out, L"LastDismissedUpdateVersion", state.LastDismissedUpdateVersion);
    out += L"  \"LastDismissedUpdateAtEpochSeconds\": ";
    out += ToWideDecimal(state.LastDismissedUpdateAtEpochSeconds);
    out += L"\n}\n";
    return out;
}

AppState ParseAppState(std::wstring_view text) {
    AppState state;
    state.LastProfile = ReadVerbatimText(text, L"LastProfile");
    if (const auto flag = ReadBareValue(text, L"SuppressMasterToggleReminder")) {
        state.SuppressMasterToggleReminder = *flag == L"true";
    }
    state.LastProfileFolder = ReadVerbatimText(text, L"LastProfileFolder");
    state.LastDismissedUpdateVersion = ReadVerbatimText(text, L"LastDismissedUpdateVersion");
    if (const auto seconds = ReadBareValue(text, L"LastDismissedUpdateAtEpochSeconds")) {
        state.LastDismissedUpdateAtEpochSeconds = ParseWholeInt64(*seconds);
    }
    return state;
}

AppState LoadAppStateFile(const std::filesystem::path& path) {
    AppState state;
    ReadAppStateFile(path, state);
    return state;
}

AppStateRead ReadAppStateFile(const std::filesystem::path& path, AppState& state,
                              std::wstring* reason) {
    std::wstring text;
    FileReadFailure failure;
    if (ReadTextFile(path, text, &failure)) {
        state = ParseAppState(text);
        return AppStateRead::Loaded;
    }
    if (failure.absent) {
        state = AppState{};
        return AppStateRead::Absent;
    }
    if (reason) {
        *reason = failure.reason;
    }
    return AppStateRead::Unreadable;
}

bool UpdateAppStateFile(const std::filesystem::path& path,
                        const std::function<void(AppState&)>& change, std::wstring* error) {
    const ConfigFileLock lock(path);
    AppState state;
    std::wstring reason;
    if (ReadAppStateFile(path, state, &reason) == AppStateRead::Unreadable) {
        if (error) {
            *error = L"The application state " + path.wstring() + L" could not be read (" +
                     reason + L"); it was left as it is.";
        }
        return false;
    }
    change(state);
    return SaveAppStateFile(path, state, error);
}

bool SaveAppStateFile(const std::filesystem::path& path, const AppState& state,
                      std::wstring* error) {
    for (const std::wstring* value :
         {&state.LastProfile, &state.LastProfileFolder, &state.LastDismissedUpdateVersion}) {
        if (value->find(L'"') != std::wstring::npos) {
            if (error) {
                *error = L"The application state cannot hold a double quote: " + *value;
            }
            return false;
        }
    }
    return WriteTextFileAtomically(path, FormatAppState(state), error);
}

}  // namespace wrenpost
