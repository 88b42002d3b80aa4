// The outbox's files: one record per notification, named by its sequence number.
#include "monitor/Outbox.h"

#include <system_error>

#include "common/TextFile.h"

namespace wrenpost {

OutboxSummary SummarizeOutbox(const std::filesystem::path& folder) {
    OutboxSummary summary;
    for (const std::filesystem::path& file : OutboxRecordFiles(folder)) {
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
    for (const std::filesystem::path& file : OutboxRecordFiles(folder_)) {
        std::int64_t sequence = 0;
        (void)IsOutboxRecordName(file.filename().wstring(), &sequence);
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
    return folder_ / OutboxRecordName(sequence);
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
