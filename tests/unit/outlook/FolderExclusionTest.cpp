// Which discovered folders are offered for watching.
#include <gtest/gtest.h>

#include "outlook/FolderExclusion.h"

namespace wrenpost {
namespace {

SelectedFolder Folder(std::wstring name, std::wstring path) {
    SelectedFolder folder;
    folder.Name = std::move(name);
    folder.FolderPath = std::move(path);
    return folder;
}

TEST(FolderExclusion, OffersMailFoldersOnly) {
    const struct {
        const wchar_t* name;
        const wchar_t* path;
        bool excluded;
    } cases[] = {
        {L"Inbox", L"\\\\ann@example.com\\Inbox", false},
        {L"Projects", L"\\\\ann@example.com\\Inbox\\Projects", false},
        {L"ann@example.com", L"\\\\ann@example.com", false},
        {L"", L"\\\\ann@example.com\\Inbox", true},  // no name: never offered
        {L"Calendar 2", L"\\\\store\\x", false},
        // Calendar-like paths at any level.
        {L"Calendars Archive", L"\\\\s\\Calendars Archive", true},
        {L"Old", L"\\\\s\\Inbox\\CALENDARS archive", true},
        {L"Birthdays", L"\\\\s\\Calendar\\Birthdays", true},
        {L"x", L"\\\\s\\Yammer Root\\Feeds", true},
        {L"Filesystem", L"\\\\s\\Filesystem", true},
        // Special mail folders are offered, what lies below them is not.
        {L"Old", L"\\\\s\\deleted ITEMS\\Old", true},
        {L"Archive 2019", L"\\\\s\\Archive 2019", false},
        // The store's display name is part of FolderPath: a store called "Notes" hides all.
        {L"Inbox", L"\\\\Notes backup\\Inbox", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsExcludedFolder(Folder(c.name, c.path)), c.excluded) << c.path;
    }
    // Every excluded name; the path matches no fragment, so only the name decides.
    const std::wstring names =
        L"Calendar|CONTACTS|Tasks|notes|Journal|Sync Issues|Server Failures|Local Failures|"
        L"Conflicts|Quick Step Settings|Conversation Action Settings|ExternalContacts|"
        L"Recipient Cache|Organizational Contacts|GAL Contacts|Companies|"
        L"PeopleCentricConversation Buddies|Social Activity Notifications|PersonMetadata|Files|"
        L"Team Chat|";
    for (std::size_t at = 0, bar; (bar = names.find(L'|', at)) != std::wstring::npos;
         at = bar + 1) {
        const std::wstring name = names.substr(at, bar - at);
        EXPECT_TRUE(IsExcludedFolder(Folder(name, L"\\\\store\\x"))) << name;
    }
    for (const wchar_t* parent : {L"Conversation History", L"Deleted Items", L"Junk Email",
                                  L"Sent Items", L"Drafts", L"Outbox", L"Archive"}) {
        const std::wstring path = std::wstring(L"\\\\s\\") + parent;
        EXPECT_FALSE(IsExcludedFolder(Folder(parent, path))) << parent;
        EXPECT_TRUE(IsExcludedFolder(Folder(L"Old", path + L"\\Old"))) << parent;
    }
}

}  // namespace
}  // namespace wrenpost
