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

TEST(FolderExclusion, OrdinaryMailFoldersAreOffered) {
    EXPECT_FALSE(IsExcludedFolder(Folder(L"Inbox", L"\\\\ann@example.com\\Inbox")));
    EXPECT_FALSE(IsExcludedFolder(Folder(L"Projects", L"\\\\ann@example.com\\Inbox\\Projects")));
    EXPECT_FALSE(IsExcludedFolder(Folder(L"ann@example.com", L"\\\\ann@example.com")));
}

TEST(FolderExclusion, AFolderWithoutANameIsNeverOffered) {
    EXPECT_TRUE(IsExcludedFolder(Folder(L"", L"\\\\ann@example.com\\Inbox")));
}

TEST(FolderExclusion, EveryExcludedNameInAnyCase) {
    const wchar_t* names[] = {L"Calendar",
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
                              L"Team Chat"};
    for (const wchar_t* name : names) {
        // A path that matches no fragment, so only the name decides.
        EXPECT_TRUE(IsExcludedFolder(Folder(name, L"\\\\store\\x"))) << name;
    }
    EXPECT_FALSE(IsExcludedFolder(Folder(L"Calendar 2", L"\\\\store\\x")));
}

TEST(FolderExclusion, CalendarLikePathsAreExcludedAtAnyLevel) {
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Calendars Archive", L"\\\\s\\Calendars Archive")));
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Old", L"\\\\s\\Inbox\\CALENDARS archive")));
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Birthdays", L"\\\\s\\Calendar\\Birthdays")));
    EXPECT_TRUE(IsExcludedFolder(Folder(L"x", L"\\\\s\\Yammer Root\\Feeds")));
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Filesystem", L"\\\\s\\Filesystem")));
}

TEST(FolderExclusion, SpecialMailFoldersAreOfferedButNotWhatLiesBelowThem) {
    const wchar_t* parents[] = {L"Conversation History",
                                L"Deleted Items",
                                L"Junk Email",
                                L"Sent Items",
                                L"Drafts",
                                L"Outbox",
                                L"Archive"};
    for (const wchar_t* parent : parents) {
        const std::wstring path = std::wstring(L"\\\\s\\") + parent;
        EXPECT_FALSE(IsExcludedFolder(Folder(parent, path))) << parent;
        EXPECT_TRUE(IsExcludedFolder(Folder(L"Old", path + L"\\Old"))) << parent;
    }
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Old", L"\\\\s\\deleted ITEMS\\Old")));
    // A name that merely begins like a special folder is not below it.
    EXPECT_FALSE(IsExcludedFolder(Folder(L"Archive 2019", L"\\\\s\\Archive 2019")));
}

TEST(FolderExclusion, StoreNameInThePathCountsLikeAnyOtherText) {
    // The store's display name is part of FolderPath, so a store called "Notes" hides everything.
    EXPECT_TRUE(IsExcludedFolder(Folder(L"Inbox", L"\\\\Notes backup\\Inbox")));
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
    for (int count : excluded) {
        EXPECT_EQ(count, 200);
    }
}

TEST(LowerCase, MapsEachCharacterAndKeepsTheLength) {
    EXPECT_EQ(LowerCaseWide(L"Deleted ITEMS\\x"), L"deleted items\\x");
    EXPECT_EQ(LowerCaseWide(L""), L"");
}

}  // namespace
}  // namespace wrenpost
