// A profile's durable outbox: every notification the rules approved, kept on disk from before
// its first send until each recipient has it or refused it for good. One file per notification,
// so queueing or settling one costs in proportion to that notification alone. Used by one
// thread at a time (the monitor worker, or the window while no session runs on the profile).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "monitor/OutboxRecord.h"
#include "profile/OutboxFiles.h"

namespace wrenpost {

struct OutboxLimits {
    std::size_t MaxCount = 1000;
    std::uint64_t MaxBytes = 8ull * 1024 * 1024;
};

// What waits in an outbox folder, without opening it for use (LOAD, clean-ups).
struct OutboxSummary {
    std::size_t Count = 0;
    std::int64_t OldestQueuedUtc = 0;  // ticks; meaningful when Count > 0
};
OutboxSummary SummarizeOutbox(const std::filesystem::path& folder);

class Outbox {
public:
    enum class AddResult { Added, Full, WriteFailed };

    // Loads what waits in `folder` (created when missing). A record that cannot be read is
    // renamed to *.unreadable and reported in `problems`, never deleted.
    void Open(const std::filesystem::path& folder, OutboxLimits limits,
              std::vector<std::wstring>* problems = nullptr);

    // Gives the record the next sequence number and writes it before returning.
    AddResult Add(OutboxRecord record, std::wstring* error = nullptr);
    // Writes the record's new state, or removes its file once it is settled. False when the disk
    // refused (the record in memory is updated all the same).
    bool Update(const OutboxRecord& record, std::wstring* error = nullptr);
    // Removes every record (an unsaved session's outbox, discarded).
    void DiscardAll();

    // Oldest first.
    const std::map<std::int64_t, OutboxRecord>& Waiting() const { return waiting_; }
    std::size_t Count() const { return waiting_.size(); }
    std::uint64_t Bytes() const { return bytes_; }
    bool Full() const;
    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path RecordPath(std::int64_t sequence) const;

    std::filesystem::path folder_;
    OutboxLimits limits_;
    std::map<std::int64_t, OutboxRecord> waiting_;
    std::map<std::int64_t, std::uint64_t> sizes_;
    std::uint64_t bytes_ = 0;
    std::int64_t nextSequence_ = 1;
};

}  // namespace wrenpost
