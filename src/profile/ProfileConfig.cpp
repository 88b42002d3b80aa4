// Stand-in profile configuration store used by the monitor until the full profile store is
// merged: the documented layout and the key-search reading, without extras.
#include "profile/ProfileConfig.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "common/TextFile.h"

namespace wrenpost {
namespace {

void Member(std::wstring& out, const wchar_t* indent, const wchar_t* name,
            const std::wstring& value, bool comma) {
    out += indent;
    out += L'"';
    out += name;
    out += L"\": \"";
    out += JsonEscape(value);
    out += comma ? L"\",\n" : L"\"\n";
}

}  // namespace

ProfileConfig DefaultProfileConfig() { return ProfileConfig(); }

std::wstring FormatProfileConfig(const ProfileConfig& c) {
    std::wstring out = L"{\n";
    Member(out, L"  ", L"ProfileName", c.ProfileName, true);
    Member(out, L"  ", L"Source", c.Source, true);
    Member(out, L"  ", L"Operation", c.Operation, true);
    Member(out, L"  ", L"Provider", c.Provider, true);
    out += L"  \"Recipients\": [\n";
    for (std::size_t i = 0; i < c.Recipients.size(); ++i) {
        const RecipientEntry& r = c.Recipients[i];
        out += L"    {\n";
        Member(out, L"      ", L"ChatId", r.ChatId, true);
        Member(out, L"      ", L"DisplayName", r.DisplayName, true);
        out += r.Allowed ? L"      \"Allowed\": true,\n" : L"      \"Allowed\": false,\n";
        Member(out, L"      ", L"RegisteredOn", r.RegisteredOn, true);
        Member(out, L"      ", L"LastNotification", r.LastNotification, false);
        out += i + 1 < c.Recipients.size() ? L"    },\n" : L"    }\n";
    }
    out += L"  ],\n";
    out += L"  \"CheckInterval\": " + ToWideDecimal(c.CheckInterval) + L",\n";
    out += c.IncludeOldMessages ? L"  \"IncludeOldMessages\": true,\n"
                                : L"  \"IncludeOldMessages\": false,\n";
    out += L"  \"SelectedFolders\": [\n";
    for (std::size_t i = 0; i < c.SelectedFolders.size(); ++i) {
        const SelectedFolder& f = c.SelectedFolders[i];
        out += L"    {\n";
        Member(out, L"      ", L"Name", f.Name, true);
        Member(out, L"      ", L"FolderPath", f.FolderPath, true);
        Member(out, L"      ", L"EntryId", f.EntryId, true);
        Member(out, L"      ", L"StoreId", f.StoreId, true);
        Member(out, L"      ", L"StoreName", f.StoreName, true);
        Member(out, L"      ", L"DetectedOn", f.DetectedOn, false);
        out += i + 1 < c.SelectedFolders.size() ? L"    },\n" : L"    }\n";
    }
    out += L"  ],\n";
    out += c.UseSameTitle ? L"  \"UseSameTitle\": true,\n" : L"  \"UseSameTitle\": false,\n";
    Member(out, L"  ", L"DefaultTitle", c.DefaultTitle, true);
    out += L"  \"FolderTitles\": [\n";
    for (std::size_t i = 0; i < c.FolderTitles.size(); ++i) {
        out += L"    {\n";
        Member(out, L"      ", L"FolderPath", c.FolderTitles[i].FolderPath, true);
        Member(out, L"      ", L"Title", c.FolderTitles[i].Title, false);
        out += i + 1 < c.FolderTitles.size() ? L"    },\n" : L"    }\n";
    }
    out += L"  ]\n}\n";
    return out;
}

ProfileConfig ParseProfileConfig(std::wstring_view text) {
    ProfileConfig c;
    c.ProfileName = ReadJsonStringField(text, L"ProfileName");
    c.CheckInterval = ReadJsonIntField(text, L"CheckInterval");
    c.IncludeOldMessages = ReadJsonBoolField(text, L"IncludeOldMessages", false);
    using K = JsonValueKind;
    for (auto& m : FindJsonObjects(text, {{L"ChatId", K::String}, {L"DisplayName", K::String},
                                          {L"Allowed", K::Bool}, {L"RegisteredOn", K::String},
                                          {L"LastNotification", K::String}})) {
        c.Recipients.push_back({m[0], m[1], m[2] == L"true", m[3], m[4]});
    }
    for (auto& m : FindJsonObjects(text, {{L"Name", K::String}, {L"FolderPath", K::String},
                                          {L"EntryId", K::String}, {L"StoreId", K::String},
                                          {L"StoreName", K::String}, {L"DetectedOn", K::String}})) {
        c.SelectedFolders.push_back({m[0], m[1], m[2], m[3], m[4], m[5], 0});
    }
    c.UseSameTitle = ReadJsonBoolField(text, L"UseSameTitle", true);
    c.DefaultTitle = ReadJsonStringField(text, L"DefaultTitle");
    for (auto& m : FindJsonObjects(text, {{L"FolderPath", K::String}, {L"Title", K::String}})) {
        c.FolderTitles.push_back({m[0], m[1]});
    }
    return c;
}

bool ProfileConfigStore::WriteProfileConfig(const std::filesystem::path& path,
                                            const ProfileConfig& config) {
    if (!WriteTextFileAtomically(path, FormatProfileConfig(config))) {
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
