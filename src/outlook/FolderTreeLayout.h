// How discovered folders are arranged in the folder tree: one top-level node per store label,
// one node per path component, and only the node of a folder's last component bound to it.
// Portable so the arrangement can be tested without a tree control.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "profile/ProfileConfig.h"

namespace wrenpost {

inline constexpr std::size_t kNoTreeNode = static_cast<std::size_t>(-1);
inline constexpr std::size_t kUnboundTreeNode = static_cast<std::size_t>(-1);

// The top-level label of a folder: its store name, or "Mailbox" when that is empty.
std::wstring FolderStoreLabel(const SelectedFolder& folder);

// FolderPath without a leading "\\" + StoreName (when it starts with exactly that) and then
// without any remaining leading backslashes.
std::wstring RelativeFolderPath(const SelectedFolder& folder);

// Splits at backslashes; empty components (doubled backslashes) are kept as they are.
std::vector<std::wstring> SplitFolderPath(std::wstring_view relativePath);

struct FolderTreeNode {
    std::wstring Key;                       // store label, then "\component" per level
    std::wstring Text;                      // what the node shows
    std::size_t Parent = kNoTreeNode;       // index into the node list; kNoTreeNode at top level
    std::size_t Folder = kUnboundTreeNode;  // index into the folder list, when bound
};

// Nodes in creation order (a parent always before its children; siblings in append order).
std::vector<FolderTreeNode> LayOutFolderTree(const std::vector<SelectedFolder>& folders);

}  // namespace wrenpost
