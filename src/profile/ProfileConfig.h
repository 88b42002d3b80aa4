// A profile's settings and their file, <ProfileName>Config.json.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "profile/MessageOptions.h"

namespace wrenpost {

struct RecipientEntry {
    std::wstring ChatId;
    std::wstring DisplayName;
    bool Allowed = true;
    std::wstring RegisteredOn;
    std::wstring LastNotification = L"Never";

    bool operator==(const RecipientEntry&) const = default;
};

struct SelectedFolder {
    std::wstring Name;
    std::wstring FolderPath;
    std::wstring EntryId;
    std::wstring StoreId;
    std::wstring StoreName;
    std::wstring DetectedOn;
    int Depth = 0;  // nesting depth from folder discovery; not stored in the file

    bool operator==(const SelectedFolder&) const = default;
};

struct FolderTitle {
    std::wstring FolderPath;
    std::wstring Title;

    bool operator==(const FolderTitle&) const = default;
};

struct ProfileConfig {
    std::wstring ProfileName;
    std::wstring Source = L"Outlook Classic";
    std::wstring Operation = L"Notification";
    std::wstring Provider = L"Telegram";
    std::int32_t CheckInterval = 10;
    bool IncludeOldMessages = false;
    std::vector<SelectedFolder> SelectedFolders;
    bool UseSameTitle = true;
    std::wstring DefaultTitle;
    std::vector<FolderTitle> FolderTitles;
    std::vector<RecipientEntry> Recipients;
    MessageOptions Message;
    std::vector<RecipientTopic> RecipientTopics;  // only recipients posting to a forum topic

    bool operator==(const ProfileConfig&) const = default;
};

ProfileConfig DefaultProfileConfig();

// The exact file text (with "\n" line ends; the file encoding adds CR).
std::wstring FormatProfileConfig(const ProfileConfig& config);
// Tolerant reading of a file text: missing or unrecognised parts take their defaults.
ProfileConfig ParseProfileConfig(std::wstring_view text);

// Every write below holds the file's ConfigFileLock, so writers in this process never interleave.

// The window's SAVE: writes the whole configuration atomically; false (old file intact) when the
// file cannot be written, with the reason in `error` when given. A recipient's LastNotification
// is the monitor's: where the file holds a later time for the same chat, that time is kept.
[[nodiscard]] bool SaveProfileConfig(const std::filesystem::path& path, const ProfileConfig& config,
                                     std::wstring* error = nullptr);

enum class ProfileUpdateResult { Written, ReadFailed, WriteFailed };

// Re-reads the file, lets `change` alter the fresh copy and writes it back, all under the lock,
// so a SAVE cannot land in between and be overwritten. `change` must not write the file itself.
// A file that cannot be read is left alone (never recreated).
ProfileUpdateResult UpdateProfileConfig(const std::filesystem::path& path,
                                        const std::function<void(ProfileConfig&)>& change,
                                        std::wstring* error = nullptr);

class ProfileConfigStore {
public:
    // Writes exactly `config`, atomically and under the file lock; false (store unchanged, old
    // file intact) when the file cannot be written, with the reason in `error` when given.
    [[nodiscard]] bool WriteProfileConfig(const std::filesystem::path& path,
                                          const ProfileConfig& config,
                                          std::wstring* error = nullptr);
    // False (store unchanged) when the file cannot be opened; any text reads.
    [[nodiscard]] bool ReadProfileConfig(const std::filesystem::path& path);

    const ProfileConfig& Current() const { return current_; }
    ProfileConfig& Current() { return current_; }
    void SetCurrent(ProfileConfig config) { current_ = std::move(config); }

private:
    ProfileConfig current_ = DefaultProfileConfig();
};

}  // namespace wrenpost
