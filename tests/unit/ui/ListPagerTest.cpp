// Search and paging of the ten-row lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/lists/ListPager.h"

namespace wrenpost {
namespace {

using Entries = std::vector<ListPager::SearchFields>;

// Chat id and name of entry i: "100i" / "Name i"; every third a group chat "-100i".
Entries Recipients(std::size_t count) {
    Entries entries;
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring id = (i % 3 == 0 ? L"-100" : L"100") + std::to_wstring(i);
        entries.push_back({id, L"NAME " + std::to_wstring(i)});
    }
    return entries;
}

struct View {
    std::vector<std::size_t> rows;
    int page, pages;
    bool previous, next;
    bool operator==(const View&) const = default;
};

View Seen(const ListPager& pager) {
    return {pager.PageEntries(), pager.Page(), pager.Pages(), pager.HasPrevious(), pager.HasNext()};
}

TEST(ListPager, FiltersAsTypedUpperCasedAndPagesByTen) {
    const struct {
        const char* name;
        std::size_t count;
        const wchar_t* search;
        int nexts;
        View expected;
    } rows[] = {
        {"empty list", 0, L"", 0, {{}, 0, 1, false, false}},
        {"one page", 3, L"", 5, {{0, 1, 2}, 0, 1, false, false}},
        {"second of three",
         25,
         L"",
         1,
         {{10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, 1, 3, true, true}},
        {"last page, clamped", 25, L"", 9, {{20, 21, 22, 23, 24}, 2, 3, true, false}},
        {"group chats by id", 7, L"-100", 0, {{0, 3, 6}, 0, 1, false, false}},
        {"lower case finds upper", 12, L"name 1", 0, {{1, 10, 11}, 0, 1, false, false}},
        {"typed space counts", 12, L"E 1 ", 0, {{}, 0, 1, false, false}},
        {"no match", 5, L"x", 0, {{}, 0, 1, false, false}},
    };
    for (const auto& row : rows) {
        ListPager pager;
        pager.Filter(Recipients(row.count), row.search);
        for (int i = 0; i < row.nexts; ++i) {
            pager.Next();
        }
        EXPECT_EQ(Seen(pager), row.expected) << row.name;
    }
}

TEST(ListPager, AChangedListKeepsThePageUntilItIsGoneAndANewSearchStartsOver) {
    Entries entries = Recipients(11);
    ListPager pager;
    pager.Filter(entries, L"");
    pager.Next();
    entries.erase(entries.begin() + 10);  // the only entry of the last page
    pager.Refresh(entries);
    EXPECT_EQ(Seen(pager), (View{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, 1, false, false}));

    entries = Recipients(30);
    pager.Refresh(entries);
    pager.Next();
    pager.Refresh(entries);
    EXPECT_EQ(pager.Page(), 1);
    pager.Previous();
    pager.Previous();
    EXPECT_EQ(pager.Page(), 0);
    pager.Next();
    pager.Filter(entries, L"NAME 2");
    EXPECT_EQ(Seen(pager), (View{{2, 20, 21, 22, 23, 24, 25, 26, 27, 28}, 0, 2, false, true}));
}

}  // namespace
}  // namespace wrenpost
