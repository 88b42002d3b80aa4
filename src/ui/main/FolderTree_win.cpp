// Filling and reading the check-box folder tree.
#include "ui/main/FolderTree_win.h"

#include <algorithm>

#include "outlook/FolderTreeLayout.h"

namespace wrenpost {
namespace {

constexpr UINT kCheckedStateImage = 2;
constexpr UINT kUncheckedStateImage = 1;

HTREEITEM InsertItem(HWND tree, HTREEITEM parent, const std::wstring& text) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM Next(HWND tree, HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

void FolderTree::Clear() {
    if (tree_ != nullptr) {
        SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    }
    folders_.clear();
    bound_.clear();
}

void FolderTree::Fill(const std::vector<SelectedFolder>& folders) {
    Clear();
    if (tree_ == nullptr) {
        return;
    }
    const std::vector<FolderTreeNode> nodes = LayOutFolderTree(folders);
    std::vector<HTREEITEM> items(nodes.size(), nullptr);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const FolderTreeNode& node = nodes[i];
        const HTREEITEM parent = node.Parent == kNoTreeNode ? TVI_ROOT : items[node.Parent];
        items[i] = InsertItem(tree_, parent, node.Text);
        if (items[i] != nullptr && node.Folder != kUnboundTreeNode) {
            bound_[items[i]] = folders_.size();
            folders_.push_back(folders[node.Folder]);
        }
    }
    // A tree without a selected item shows no focus, and some tree views ignore the keys then.
    if (!items.empty() && items.front() != nullptr) {
        SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items.front()));
    }
}

bool FolderTree::IsChecked(HTREEITEM item) const {
    TVITEMW query{};
    query.mask = TVIF_HANDLE | TVIF_STATE;
    query.hItem = item;
    query.stateMask = TVIS_STATEIMAGEMASK;
    if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) {
        return false;
    }
    return ((query.state & TVIS_STATEIMAGEMASK) >> 12) == kCheckedStateImage;
}

void FolderTree::SetChecked(HTREEITEM item, bool checked) {
    TVITEMW change{};
    change.mask = TVIF_HANDLE | TVIF_STATE;
    change.hItem = item;
    change.stateMask = TVIS_STATEIMAGEMASK;
    change.state = INDEXTOSTATEIMAGEMASK(checked ? kCheckedStateImage : kUncheckedStateImage);
    SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

const SelectedFolder* FolderTree::FolderOf(HTREEITEM item) const {
    const auto found = bound_.find(item);
    return found == bound_.end() ? nullptr : &folders_[found->second];
}

std::vector<SelectedFolder> FolderTree::CollectChecked() const {
    std::vector<SelectedFolder> checked;
    if (tree_ == nullptr) {
        return checked;
    }
    // Depth-first in tree order, without recursion.
    std::vector<HTREEITEM> pending;
    for (HTREEITEM top = Next(tree_, nullptr, TVGN_ROOT); top != nullptr;
         top = Next(tree_, top, TVGN_NEXT)) {
        pending.push_back(top);
        while (!pending.empty()) {
            const HTREEITEM item = pending.back();
            pending.pop_back();
            if (IsChecked(item)) {
                if (const SelectedFolder* folder = FolderOf(item)) {
                    checked.push_back(*folder);
                }
            }
            std::vector<HTREEITEM> children;
            for (HTREEITEM child = Next(tree_, item, TVGN_CHILD); child != nullptr;
                 child = Next(tree_, child, TVGN_NEXT)) {
                children.push_back(child);
            }
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }
    return checked;
}

int FolderTree::CheckFolders(const std::vector<SelectedFolder>& wanted) {
    int count = 0;
    for (const auto& [item, index] : bound_) {
        const bool want = std::any_of(wanted.begin(), wanted.end(), [&](const SelectedFolder& f) {
            return f.FolderPath == folders_[index].FolderPath;
        });
        if (want != IsChecked(item)) {
            SetChecked(item, want);
        }
        count += want ? 1 : 0;
    }
    return count;
}

bool FolderTree::Shows(const std::wstring& folderPath) const {
    return std::any_of(bound_.begin(), bound_.end(), [&](const auto& entry) {
        return folders_[entry.second].FolderPath == folderPath;
    });
}

}  // namespace wrenpost
