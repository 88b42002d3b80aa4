// The folder tree of the main window: fills a check-box tree view from discovered folders and
// reads back the checked ones. Used on the window's thread only.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <unordered_map>
#include <vector>

#include "profile/ProfileConfig.h"

namespace wrenpost {

class FolderTree {
public:
    FolderTree() = default;
    explicit FolderTree(HWND treeView) : tree_(treeView) {}
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    void Attach(HWND treeView) { tree_ = treeView; }
    HWND Handle() const { return tree_; }

    // Replaces every item: one top item per store label ("Mailbox" without a store name), one
    // item per path component; only the item of a folder's last component is bound to it.
    void Fill(const std::vector<SelectedFolder>& folders);

    // Copies of the folders whose bound items are checked (state image 2), depth-first.
    std::vector<SelectedFolder> CollectChecked() const;

    // Checks exactly the bound items whose FolderPath equals one of the given folders' and
    // unchecks the rest. Returns how many items are checked.
    int CheckFolders(const std::vector<SelectedFolder>& wanted);

    // Whether an item is bound to a folder with this path.
    bool Shows(const std::wstring& folderPath) const;

    // The folder an item is bound to, or null for an unbound item.
    const SelectedFolder* FolderOf(HTREEITEM item) const;
    bool IsChecked(HTREEITEM item) const;
    void SetChecked(HTREEITEM item, bool checked);

    const std::vector<SelectedFolder>& Folders() const { return folders_; }

private:
    void Clear();

    HWND tree_ = nullptr;
    std::vector<SelectedFolder> folders_;
    std::unordered_map<HTREEITEM, std::size_t> bound_;
};

}  // namespace wrenpost
