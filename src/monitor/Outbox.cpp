// The outbox's files: one record per notification, named by its sequence number.
#include "monitor/Outbox.h"

#include <cwchar>
#include <system_error>

#include "common/TextFile.h"

namespace wrenpost {
namespace {

constexpr std::size_t kDigits = 16;
constexpr const wchar_t* kRecordExtension = L".json";

bool IsRecordName(const std::wstring& name, std::int64_t* sequence) {
    if (name.size() != kDigits + 5 || name.compare(kDigits, 5, kRecordExtension) != 0) {
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

std::vector<std::filesystem::path> RecordFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (IsRecordName(it->path().filename().wstring(), nullptr)) {
            files.push_back(it->path());
        }
    }
    return files;
}

}  // namespace

std::filesystem::path OutboxFolder(const std::filesystem::path& profileFolder,
                                   const std::wstring& profileName) {
    return profileFolder / (profileName + L"Outbox");
}

bool IsOutboxFileName(const std::wstring& name) {
    const auto endsWith = [&](const wchar_t* suffix) {
        const std::size_t n = std::wcslen(suffix);
        return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0;
    };
    return IsRecordName(name, nullptr) || name == L"Session.json" || endsWith(L".unreadable") ||
           endsWith(L".tmp");
}

OutboxSummary SummarizeOutbox(const std::filesystem::path& folder) {
    OutboxSummary summary;
    for (const std::filesystem::path& file : RecordFiles(folder)) {
        std::wstring text;
        if (!ReadTextFile(file, text)) {
            continue;
        }
        const std::optional<OutboxRecord> record = ParseOutboxRecord(text);
        if (!record || record->Settled()) {
            continue;
        }
        if (summary.Count == 0 || record->QueuedUtc < summary.OldestQueuedUtc) {
            summary.OldestQueuedUtc = record->QueuedUtc;
        }
        ++summary.Count;
    }
    return summary;
}

void Outbox::Open(const std::filesystem::path& folder, OutboxLimits limits,
                  std::vector<std::wstring>* problems) {
    folder_ = folder;
    limits_ = limits;
    waiting_.clear();
    sizes_.clear();
    bytes_ = 0;
    nextSequence_ = 1;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    for (const std::filesystem::path& file : RecordFiles(folder_)) {
        std::int64_t sequence = 0;
        (void)IsRecordName(file.filename().wstring(), &sequence);
        nextSequence_ = std::max(nextSequence_, sequence + 1);
        std::string bytes;
        std::optional<OutboxRecord> record;
        if (ReadFileBytes(file, bytes)) {
            record = ParseOutboxRecord(DecodeTextFile(bytes));
        }
        if (!record || record->Sequence != sequence) {
            std::filesystem::path aside = file;
            aside += L".unreadable";
            std::filesystem::rename(file, aside, error);
            if (problems != nullptr) {
                problems->push_back(file.wstring());
            }
            continue;
        }
        if (record->Settled()) {
            std::filesystem::remove(file, error);  // settled, but the removal did not happen
            continue;
        }
        sizes_[sequence] = bytes.size();
        bytes_ += bytes.size();
        waiting_.emplace(sequence, std::move(*record));
    }
}

bool Outbox::Full() const {
    return waiting_.size() >= limits_.MaxCount || bytes_ >= limits_.MaxBytes;
}

std::filesystem::path Outbox::RecordPath(std::int64_t sequence) const {
    wchar_t name[32];
    std::swprintf(name, 32, L"%016lld.json", static_cast<long long>(sequence));
    return folder_ / name;
}

Outbox::AddResult Outbox::Add(OutboxRecord record, std::wstring* error) {
    if (Full()) {
        return AddResult::Full;
    }
    record.Sequence = nextSequence_;
    const std::string bytes = EncodeTextFile(FormatOutboxRecord(record));
    if (!WriteFileAtomically(RecordPath(record.Sequence), bytes, error)) {
        return AddResult::WriteFailed;
    }
    ++nextSequence_;
    sizes_[record.Sequence] = bytes.size();
    bytes_ += bytes.size();
    waiting_[record.Sequence] = std::move(record);
    return AddResult::Added;
}

bool Outbox::Update(const OutboxRecord& record, std::wstring* error) {
    const auto found = waiting_.find(record.Sequence);
    if (found == waiting_.end()) {
        return false;
    }
    bytes_ -= sizes_[record.Sequence];
    if (record.Settled()) {
        waiting_.erase(found);
        sizes_.erase(record.Sequence);
        std::error_code removeError;
        if (std::filesystem::remove(RecordPath(record.Sequence), removeError)) {
            return true;
        }
        // A file that cannot go (a scanner holds it) must at least stop saying "Pending", or
        // the next start would send it again; Open removes it then.
        return WriteFileAtomically(RecordPath(record.Sequence),
                                   EncodeTextFile(FormatOutboxRecord(record)), error);
    }
    found->second = record;
    const std::string bytes = EncodeTextFile(FormatOutboxRecord(record));
    sizes_[record.Sequence] = bytes.size();
    bytes_ += bytes.size();
    return WriteFileAtomically(RecordPath(record.Sequence), bytes, error);
}

void Outbox::DiscardAll() {
    for (const auto& [sequence, record] : waiting_) {
        std::error_code error;
        std::filesystem::remove(RecordPath(sequence), error);
    }
    waiting_.clear();
    sizes_.clear();
    bytes_ = 0;
}

}  // namespace wrenpost
