// Which entries of a list a window shows: those its search matches, ten to a page. The
// recipients manager and the token vault page their lists the same way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

class ListPager {
public:
    static constexpr std::size_t kPageSize = 10;
    // The texts of one entry that the search looks into.
    using SearchFields = std::vector<std::wstring>;

    // Visible: every entry when the search is empty, else those with a field containing the
    // search, both upper-cased (the search as typed, not trimmed). Back to the first page.
    void Filter(const std::vector<SearchFields>& entries, std::wstring_view search);
    // The same search over a changed list; the page stays unless it no longer exists.
    void Refresh(const std::vector<SearchFields>& entries);

    void Previous();
    void Next();

    // Positions in the list of the entries on the current page.
    std::vector<std::size_t> PageEntries() const;
    int Page() const { return page_; }  // from 0
    int Pages() const;                  // at least 1
    bool HasPrevious() const { return page_ > 0; }
    bool HasNext() const { return page_ + 1 < Pages(); }

private:
    void Clamp();

    std::wstring search_;  // upper-cased
    std::vector<std::size_t> visible_;
    int page_ = 0;
};

}  // namespace wrenpost
