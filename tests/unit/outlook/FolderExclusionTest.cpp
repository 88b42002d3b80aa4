// Which discovered folders are offered for watching.
#include <gtest/gtest.h>

#include "outlook/FolderExclusion.h"

namespace wrenpost {
namespace {

TEST(FolderExclusion, OffersMailFoldersOnly) {
    const struct {
        const wchar_t* name;
        const wchar_t* path;
        bool excluded;
    } cases[] = {
        {L"Projects", L"\\\\ann@example.com\\Inbox\\Projects", false},
        {L"ann@example.com", L"\\\\ann@example.com", false},
        {L"", L"\\\\ann@example.com\\Inbox", true},  // no name: never offered
        {L"Calendar 2", L"\\\\store\\x", false},
        {L"GAL Contacts", L"\\\\store\\x", true},  // by name alone, in any case
        // Calendar-like paths at any level.
        {L"Old", L"\\\\s\\Inbox\\CALENDARS archive", true},
        {L"x", L"\\\\s\\Yammer Root\\Feeds", true},
        // Special mail folders are offered, what lies below them is not.
        {L"Junk Email", L"\\\\s\\Junk Email", false},
        {L"Old", L"\\\\s\\deleted ITEMS\\Old", true},
        {L"Archive 2019", L"\\\\s\\Archive 2019", false},
        // The store's display name is part of FolderPath: a store called "Notes" hides all.
        {L"Inbox", L"\\\\Notes backup\\Inbox", true},
    };
    for (const auto& c : cases) {
        SelectedFolder folder;
        folder.Name = c.name;
        folder.FolderPath = c.path;
        EXPECT_EQ(IsExcludedFolder(folder), c.excluded) << c.path;
    }
}

}  // namespace
}  // namespace wrenpost
