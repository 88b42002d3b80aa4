// Everything a session has handled (delivered, refused, skipped by a rule, before the cut-off or
// waiting in the outbox), per watched folder: what the walk passes over, and where it may end.
// Unlike the seen memory of the status file it is not cut at 1,000 entries, so a burst of any
// size is delivered once; it forgets only what lies far behind the newest mail of its folder.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "monitor/OutboxRecord.h"
#include "outlook/FolderWalk.h"
#include "outlook/MailSnapshot.h"

namespace wrenpost {

class HandledLedger {
public:
    static constexpr std::int64_t kTicksPerSecond = 10000000;
    // Outlook files a mail seconds after a newer one now and then.
    static constexpr std::int64_t kLateFilingMargin = 60 * kTicksPerSecond;
    // Kept per folder whatever their age, so a walk never meets a forgotten mail among the newest.
    static constexpr std::size_t kKeptPerFolder = 2000;

    void Clear();
    void Mark(const MailSnapshot& message);
    // A notification waiting in the outbox from an earlier session.
    void MarkWaiting(const OutboxRecord& record);
    bool Contains(const std::wstring& identityKey) const;
    // A mail older than what the folder's ledger forgot: it was handled or lies before the walk.
    bool Forgotten(const MailSnapshot& message) const;

    // Where the folder's walk ends: a margin behind its newest handled mail, or before that, the
    // whole second of the session's cut-off.
    std::int64_t EndBefore(const std::wstring& folderPath, std::int64_t cutoffTicks) const;
    std::shared_ptr<const PassOverKeys> PassOver();

    std::size_t Size() const { return keys_.size(); }

private:
    struct Folder {
        std::optional<std::int64_t> newest;
        std::multimap<std::int64_t, std::wstring> dated;  // delivery time -> identity key
        std::optional<std::int64_t> forgottenBelow;
    };
    void Forget(Folder& folder);
    void Add(const std::wstring& folderPath, const std::wstring& key, const std::wstring& passOver,
             std::optional<std::int64_t> delivered);

    std::unordered_map<std::wstring, Folder> folders_;
    // identity key -> pass-over key (may be empty)
    std::unordered_map<std::wstring, std::wstring> keys_;
    std::shared_ptr<PassOverKeys> passOver_ = std::make_shared<PassOverKeys>();
    std::shared_ptr<const PassOverKeys> published_;
};

}  // namespace wrenpost
