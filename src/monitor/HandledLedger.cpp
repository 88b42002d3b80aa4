#include "monitor/HandledLedger.h"

#include "monitor/MonitorAdmission.h"

namespace wrenpost {

void HandledLedger::Clear() {
    folders_.clear();
    keys_.clear();
    passOver_ = std::make_shared<PassOverKeys>();
    published_.reset();
}

void HandledLedger::Mark(const MailSnapshot& message) {
    Add(message.FolderPath, IdentifyMessage(message).Key,
        PassOverKey(message.StoreId, message.EntryId),
        message.DeliveryTimeKnown ? std::optional(message.DeliveryTimeUtc) : std::nullopt);
}

void HandledLedger::MarkWaiting(const OutboxRecord& record) {
    Add(record.FolderPath, record.MessageKey, record.PassOverKey,
        record.DeliveryTimeKnown ? std::optional(record.DeliveryTimeUtc) : std::nullopt);
}

void HandledLedger::Add(const std::wstring& folderPath, const std::wstring& key,
                        const std::wstring& passOver, std::optional<std::int64_t> delivered) {
    if (!passOver.empty() && passOver_->insert(passOver).second) {
        published_.reset();
    }
    // A copy in another folder has its own pass-over key but the same identity.
    if (!keys_.emplace(key, passOver).second) {
        return;
    }
    Folder& folder = folders_[folderPath];
    if (delivered) {
        folder.newest = std::max(folder.newest.value_or(*delivered), *delivered);
        folder.dated.emplace(*delivered, key);
        if (folder.dated.size() > kKeptPerFolder) {
            Forget(folder);
        }
    }
}

void HandledLedger::Forget(Folder& folder) {
    // Only what lies well behind the walk's end is forgotten.
    const std::int64_t keepFrom = *folder.newest - 60 * 60 * kTicksPerSecond;
    while (folder.dated.size() > kKeptPerFolder && folder.dated.begin()->first < keepFrom) {
        const auto oldest = folder.dated.begin();
        folder.forgottenBelow =
            std::max(folder.forgottenBelow.value_or(oldest->first), oldest->first);
        const auto entry = keys_.find(oldest->second);
        if (entry != keys_.end()) {
            if (!entry->second.empty()) {
                passOver_->erase(entry->second);
                published_.reset();
            }
            keys_.erase(entry);
        }
        folder.dated.erase(oldest);
    }
}

bool HandledLedger::Contains(const std::wstring& identityKey) const {
    return keys_.count(identityKey) != 0;
}

bool HandledLedger::Forgotten(const MailSnapshot& message) const {
    const auto found = folders_.find(message.FolderPath);
    return found != folders_.end() && found->second.forgottenBelow && message.DeliveryTimeKnown &&
           message.DeliveryTimeUtc <= *found->second.forgottenBelow;
}

std::int64_t HandledLedger::EndBefore(const std::wstring& folderPath,
                                      std::int64_t cutoffTicks) const {
    const auto found = folders_.find(folderPath);
    if (found != folders_.end() && found->second.newest) {
        return *found->second.newest - kLateFilingMargin;
    }
    // The cut-off's whole second: admission lets a mail of that second through.
    const std::int64_t second = cutoffTicks / kTicksPerSecond;
    return (cutoffTicks < 0 && cutoffTicks % kTicksPerSecond != 0 ? second - 1 : second) *
           kTicksPerSecond;
}

std::shared_ptr<const PassOverKeys> HandledLedger::PassOver() {
    // The reading thread gets its own copy: it may outlive the cycle.
    if (!published_) {
        published_ = std::make_shared<const PassOverKeys>(*passOver_);
    }
    return published_;
}

}  // namespace wrenpost
