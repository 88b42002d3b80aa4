#include "ui/lists/ListPager.h"

#include <algorithm>
#include <cwctype>

namespace wrenpost {
namespace {

std::wstring Upper(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    }
    return upper;
}

}  // namespace

void ListPager::Filter(const std::vector<SearchFields>& entries, std::wstring_view search) {
    search_ = Upper(search);
    page_ = 0;
    Refresh(entries);
}

void ListPager::Refresh(const std::vector<SearchFields>& entries) {
    visible_.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool matches =
            search_.empty() ||
            std::any_of(entries[i].begin(), entries[i].end(), [this](const std::wstring& field) {
                return Upper(field).find(search_) != std::wstring::npos;
            });
        if (matches) {
            visible_.push_back(i);
        }
    }
    Clamp();
}

void ListPager::Previous() {
    --page_;
    Clamp();
}

void ListPager::Next() {
    ++page_;
    Clamp();
}

std::vector<std::size_t> ListPager::PageEntries() const {
    const std::size_t first = static_cast<std::size_t>(page_) * kPageSize;
    const std::size_t last = std::min(visible_.size(), first + kPageSize);
    return first < last
               ? std::vector<std::size_t>(visible_.begin() + static_cast<std::ptrdiff_t>(first),
                                          visible_.begin() + static_cast<std::ptrdiff_t>(last))
               : std::vector<std::size_t>();
}

int ListPager::Pages() const {
    return std::max<int>(1, static_cast<int>((visible_.size() + kPageSize - 1) / kPageSize));
}

void ListPager::Clamp() {
    page_ = std::clamp(page_, 0, Pages() - 1);
}

}  // namespace wrenpost
