// Which discovered folders are offered for watching.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

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
    for (const wchar_t* name : {L"Calendar",
                                L"CONTACTS",
                                L"Tasks",
                                L"notes",
                                L"Journal",
                                L"Sync Issues",
                                L"Server Failures",
                                L"Local Failures",
                                L"Conflicts",
                                L"Quick Step Settings",
                                L"Conversation Action Settings",
                                L"ExternalContacts",
                                L"Recipient Cache",
                                L"Organizational Contacts",
                                L"GAL Contacts",
                                L"Companies",
                                L"PeopleCentricConversation Buddies",
                                L"Social Activity Notifications",
                                L"PersonMetadata",
                                L"Files",
                                L"Team Chat"}) {
        // A path that matches no fragment, so only the name decides.
        EXPECT_TRUE(IsExcludedFolder(Folder(name, L"\\\\store\\x"))) << name;
    }
    for (const wchar_t* parent : {L"Conversation History", L"Deleted Items", L"Junk Email",
                                  L"Sent Items", L"Drafts", L"Outbox", L"Archive"}) {
        const std::wstring path = std::wstring(L"\\\\s\\") + parent;
        EXPECT_FALSE(IsExcludedFolder(Folder(parent, path))) << parent;
        EXPECT_TRUE(IsExcludedFolder(Folder(L"Old", path + L"\\Old"))) << parent;
    }
}

TEST(FolderExclusion, GivesTheSameAnswersFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> excluded(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&excluded, t] {
            for (int i = 0; i < 200; ++i) {
                excluded[t] += IsExcludedFolder(Folder(L"Tasks", L"\\\\s\\Tasks")) ? 1 : 0;
                excluded[t] += IsExcludedFolder(Folder(L"Inbox", L"\\\\s\\Inbox")) ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(excluded, std::vector<int>(8, 200));
    EXPECT_EQ(LowerCaseWide(L"Deleted ITEMS\\x"), L"deleted items\\x");
}

}  // namespace
}  // namespace wrenpost
