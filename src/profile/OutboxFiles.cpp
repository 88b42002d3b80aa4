#include "profile/OutboxFiles.h"

#include <cwchar>
#include <system_error>

namespace wrenpost {
namespace {

constexpr std::size_t kDigits = 16;
constexpr std::wstring_view kRecordExtension = L".json";
constexpr std::wstring_view kOutboxSuffix = L"Outbox";

bool EndsWith(const std::wstring& text, std::wstring_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::filesystem::path OutboxFolder(const std::filesystem::path& profileFolder,
                                   const std::wstring& profileName) {
    return profileFolder / (profileName + std::wstring(kOutboxSuffix));
}

bool IsOutboxFolderName(const std::wstring& name) {
    return EndsWith(name, kOutboxSuffix);
}

std::wstring OutboxRecordName(std::int64_t sequence) {
    wchar_t name[32];
    std::swprintf(name, 32, L"%016lld.json", static_cast<long long>(sequence));
    return name;
}

bool IsOutboxRecordName(const std::wstring& name, std::int64_t* sequence) {
    if (name.size() != kDigits + kRecordExtension.size() || !EndsWith(name, kRecordExtension)) {
        return false;
    }
    std::int64_t value = 0;
    for (std::size_t i = 0; i < kDigits; ++i) {
        if (name[i] < L'0' || name[i] > L'9') {
            return false;
        }
        value = value * 10 + (name[i] - L'0');
    }
    if (sequence != nullptr) {
        *sequence = value;
    }
    return true;
}

bool IsOutboxFileName(const std::wstring& name) {
    return IsOutboxRecordName(name) || name == L"Session.json" || EndsWith(name, L".unreadable") ||
           EndsWith(name, L".tmp");
}

std::vector<std::filesystem::path> OutboxRecordFiles(const std::filesystem::path& outboxFolder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(outboxFolder, error), end; !error && it != end;
         it.increment(error)) {
        if (IsOutboxRecordName(it->path().filename().wstring())) {
            files.push_back(it->path());
        }
    }
    return files;
}

std::size_t CountWaitingRecords(const std::filesystem::path& profileFolder) {
    std::size_t count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(profileFolder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code statusError;
        if (std::filesystem::is_directory(it->symlink_status(statusError)) &&
            IsOutboxFolderName(it->path().filename().wstring())) {
            count += OutboxRecordFiles(it->path()).size();
        }
    }
    return count;
}

}  // namespace wrenpost
