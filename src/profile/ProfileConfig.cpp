// The profile configuration file: written field by field in a fixed order and read back by key
// search, so hand-edited or older files still load and damaged parts fall back to defaults.
#include "profile/ProfileConfig.h"

#include "common/JsonText.h"
#include "common/LocalTime.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "profile/ConfigFileLock.h"
#include "profile/ProfileMessageMembers.h"

namespace wrenpost {
namespace {

// The array objects are recognised only with exactly these keys in exactly this order; the first
// key tells the three shapes apart, so each can be searched over the whole text.
const std::vector<JsonObjectMember>& RecipientShape() {
    static const std::vector<JsonObjectMember> shape = {
        {L"ChatId", JsonValueKind::String},
        {L"DisplayName", JsonValueKind::String},
        {L"Allowed", JsonValueKind::Bool},
        {L"RegisteredOn", JsonValueKind::String},
        {L"LastNotification", JsonValueKind::String}};
    return shape;
}

const std::vector<JsonObjectMember>& FolderShape() {
    static const std::vector<JsonObjectMember> shape = {
        {L"Name", JsonValueKind::String},      {L"FolderPath", JsonValueKind::String},
        {L"EntryId", JsonValueKind::String},   {L"StoreId", JsonValueKind::String},
        {L"StoreName", JsonValueKind::String}, {L"DetectedOn", JsonValueKind::String}};
    return shape;
}

const std::vector<JsonObjectMember>& TitleShape() {
    static const std::vector<JsonObjectMember> shape = {{L"FolderPath", JsonValueKind::String},
                                                        {L"Title", JsonValueKind::String}};
    return shape;
}

void AppendStringMember(std::wstring& out, std::wstring_view indent, std::wstring_view key,
                        std::wstring_view value, bool last) {
    out += indent;
    out += L'"';
    out += key;
    out += L"\": \"";
    out += JsonEscape(value);
    out += last ? L"\"\n" : L"\",\n";
}

void AppendBoolMember(std::wstring& out, std::wstring_view indent, std::wstring_view key,
                      bool value) {
    out += indent;
    out += L'"';
    out += key;
    out += value ? L"\": true,\n" : L"\": false,\n";
}

void CloseObject(std::wstring& out, bool last) {
    out += last ? L"    }\n" : L"    },\n";
}

// True when `candidate` is a notification time later than `current` ("Never" is no time).
bool IsLaterNotification(const std::wstring& candidate, const std::wstring& current) {
    std::int64_t later = 0;
    std::int64_t earlier = 0;
    if (!ParseLocalTimestamp(candidate, later)) {
        return false;
    }
    return !ParseLocalTimestamp(current, earlier) || later > earlier;
}

bool WriteLocked(const std::filesystem::path& path, const ProfileConfig& config,
                 std::wstring* error) {
    // The temporary file sits beside the target and replaces it whole, so a failed write leaves
    // the previous file as it was.
    return WriteTextFileAtomically(path, FormatProfileConfig(config), error);
}

std::wstring OrDefault(std::wstring value, const wchar_t* fallback) {
    return value.empty() ? std::wstring(fallback) : value;
}

}  // namespace

ProfileConfig DefaultProfileConfig() {
    return ProfileConfig{};
}

std::wstring FormatProfileConfig(const ProfileConfig& config) {
    constexpr std::wstring_view kTop = L"  ";
    constexpr std::wstring_view kMember = L"      ";
    std::wstring out;
    out.reserve(512 + config.Recipients.size() * 200 + config.SelectedFolders.size() * 300 +
                config.FolderTitles.size() * 100);
    out += L"{\n";
    AppendStringMember(out, kTop, L"ProfileName", config.ProfileName, false);
    AppendStringMember(out, kTop, L"Source", config.Source, false);
    AppendStringMember(out, kTop, L"Operation", config.Operation, false);
    AppendStringMember(out, kTop, L"Provider", config.Provider, false);

    out += L"  \"Recipients\": [\n";
    for (std::size_t i = 0; i < config.Recipients.size(); ++i) {
        const RecipientEntry& r = config.Recipients[i];
        out += L"    {\n";
        AppendStringMember(out, kMember, L"ChatId", r.ChatId, false);
        AppendStringMember(out, kMember, L"DisplayName", r.DisplayName, false);
        AppendBoolMember(out, kMember, L"Allowed", r.Allowed);
        AppendStringMember(out, kMember, L"RegisteredOn", r.RegisteredOn, false);
        AppendStringMember(out, kMember, L"LastNotification", r.LastNotification, true);
        CloseObject(out, i + 1 == config.Recipients.size());
    }
    out += L"  ],\n";

    out += L"  \"CheckInterval\": ";
    out += ToWideDecimal(config.CheckInterval);
    out += L",\n";
    AppendBoolMember(out, kTop, L"IncludeOldMessages", config.IncludeOldMessages);

    out += L"  \"SelectedFolders\": [\n";
    for (std::size_t i = 0; i < config.SelectedFolders.size(); ++i) {
        const SelectedFolder& f = config.SelectedFolders[i];
        out += L"    {\n";
        AppendStringMember(out, kMember, L"Name", f.Name, false);
        AppendStringMember(out, kMember, L"FolderPath", f.FolderPath, false);
        AppendStringMember(out, kMember, L"EntryId", f.EntryId, false);
        AppendStringMember(out, kMember, L"StoreId", f.StoreId, false);
        AppendStringMember(out, kMember, L"StoreName", f.StoreName, false);
        AppendStringMember(out, kMember, L"DetectedOn", f.DetectedOn, true);
        CloseObject(out, i + 1 == config.SelectedFolders.size());
    }
    out += L"  ],\n";

    AppendBoolMember(out, kTop, L"UseSameTitle", config.UseSameTitle);
    AppendStringMember(out, kTop, L"DefaultTitle", config.DefaultTitle, false);

    out += L"  \"FolderTitles\": [\n";
    for (std::size_t i = 0; i < config.FolderTitles.size(); ++i) {
        const FolderTitle& t = config.FolderTitles[i];
        out += L"    {\n";
        AppendStringMember(out, kMember, L"FolderPath", t.FolderPath, false);
        AppendStringMember(out, kMember, L"Title", t.Title, true);
        CloseObject(out, i + 1 == config.FolderTitles.size());
    }
    out += L"  ]";
    AppendMessageMembers(out, config);
    out += L"\n}\n";
    return out;
}

ProfileConfig ParseProfileConfig(std::wstring_view text) {
    ProfileConfig config = DefaultProfileConfig();
    config.ProfileName = ReadJsonStringField(text, L"ProfileName");
    config.Source = OrDefault(ReadJsonStringField(text, L"Source"), L"Outlook Classic");
    config.Operation = OrDefault(ReadJsonStringField(text, L"Operation"), L"Notification");
    config.Provider = OrDefault(ReadJsonStringField(text, L"Provider"), L"Telegram");
    config.CheckInterval = ReadJsonIntField(text, L"CheckInterval");
    config.IncludeOldMessages = ReadJsonBoolField(text, L"IncludeOldMessages", false);

    for (auto& values : FindJsonObjects(text, RecipientShape())) {
        RecipientEntry entry;
        entry.ChatId = std::move(values[0]);
        entry.DisplayName = std::move(values[1]);
        entry.Allowed = values[2] == L"true";
        entry.RegisteredOn = std::move(values[3]);
        entry.LastNotification = std::move(values[4]);
        config.Recipients.push_back(std::move(entry));
    }

    for (auto& values : FindJsonObjects(text, FolderShape())) {
        SelectedFolder folder;
        folder.Name = std::move(values[0]);
        folder.FolderPath = std::move(values[1]);
        folder.EntryId = std::move(values[2]);
        folder.StoreId = std::move(values[3]);
        folder.StoreName = std::move(values[4]);
        folder.DetectedOn = std::move(values[5]);
        config.SelectedFolders.push_back(std::move(folder));
    }

    config.UseSameTitle = ReadJsonBoolField(text, L"UseSameTitle", true);
    config.DefaultTitle = ReadJsonStringField(text, L"DefaultTitle");

    for (auto& values : FindJsonObjects(text, TitleShape())) {
        config.FolderTitles.push_back(FolderTitle{std::move(values[0]), std::move(values[1])});
    }
    ReadMessageMembers(text, config);
    return config;
}

bool SaveProfileConfig(const std::filesystem::path& path, const ProfileConfig& config,
                       std::wstring* error) {
    const ConfigFileLock lock(path);
    // LastNotification belongs to the monitor, which may have recorded a time the window has not
    // heard of yet: a later time in the file is kept.
    ProfileConfig merged = config;
    std::wstring text;
    if (ReadTextFile(path, text)) {
        const ProfileConfig onDisk = ParseProfileConfig(text);
        for (RecipientEntry& recipient : merged.Recipients) {
            for (const RecipientEntry& stored : onDisk.Recipients) {
                if (stored.ChatId == recipient.ChatId &&
                    IsLaterNotification(stored.LastNotification, recipient.LastNotification)) {
                    recipient.LastNotification = stored.LastNotification;
                }
            }
        }
    }
    return WriteLocked(path, merged, error);
}

ProfileUpdateResult UpdateProfileConfig(const std::filesystem::path& path,
                                        const std::function<void(ProfileConfig&)>& change,
                                        std::wstring* error) {
    const ConfigFileLock lock(path);
    std::wstring text;
    if (!ReadTextFile(path, text)) {
        return ProfileUpdateResult::ReadFailed;
    }
    ProfileConfig config = ParseProfileConfig(text);
    change(config);
    return WriteLocked(path, config, error) ? ProfileUpdateResult::Written
                                            : ProfileUpdateResult::WriteFailed;
}

bool ProfileConfigStore::WriteProfileConfig(const std::filesystem::path& path,
                                            const ProfileConfig& config, std::wstring* error) {
    const ConfigFileLock lock(path);
    if (!WriteLocked(path, config, error)) {
        return false;
    }
    current_ = config;
    return true;
}

bool ProfileConfigStore::ReadProfileConfig(const std::filesystem::path& path) {
    std::wstring text;
    if (!ReadTextFile(path, text)) {
        return false;
    }
    current_ = ParseProfileConfig(text);
    return true;
}

}  // namespace wrenpost
