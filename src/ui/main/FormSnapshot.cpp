#include "ui/main/FormSnapshot.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace wrenpost {
namespace {

ProfileConfig Comparable(ProfileConfig config) {
    for (RecipientEntry& recipient : config.Recipients) {
        recipient.LastNotification.clear();
    }
    std::vector<SelectedFolder> folders;
    for (const SelectedFolder& folder : config.SelectedFolders) {
        SelectedFolder key;
        key.StoreName = folder.StoreName;
        key.FolderPath = folder.FolderPath;
        key.EntryId = folder.EntryId;
        folders.push_back(std::move(key));
    }
    std::sort(folders.begin(), folders.end(), [](const SelectedFolder& a, const SelectedFolder& b) {
        return std::tie(a.StoreName, a.FolderPath, a.EntryId) <
               std::tie(b.StoreName, b.FolderPath, b.EntryId);
    });
    config.SelectedFolders = std::move(folders);
    return config;
}

std::wstring Named(const std::wstring& profileName) {
    return profileName.empty() ? std::wstring(L"this profile") : profileName;
}

}  // namespace

bool FormChanged(const FormSnapshot& kept, const FormSnapshot& now) {
    return kept.token != now.token || kept.rules != now.rules ||
           Comparable(kept.config) != Comparable(now.config);
}

std::wstring SaveChangesQuestion(const std::wstring& profileName) {
    return L"Save changes to " + Named(profileName) + L"?";
}

std::wstring UnsavedAtSessionEndNote(const std::wstring& profileName) {
    return L"Windows is ending the session; unsaved changes to " + Named(profileName) +
           L" were not saved.";
}

}  // namespace wrenpost
