// Arranging folder records into tree nodes keyed by store label and path.
#include "outlook/FolderTreeLayout.h"

#include <unordered_map>

namespace wrenpost {

std::wstring FolderStoreLabel(const SelectedFolder& folder) {
    return folder.StoreName.empty() ? std::wstring(L"Mailbox") : folder.StoreName;
}

std::wstring RelativeFolderPath(const SelectedFolder& folder) {
    std::wstring_view path = folder.FolderPath;
    const std::wstring storePrefix = L"\\\\" + folder.StoreName;
    if (path.substr(0, storePrefix.size()) == storePrefix) {
        path.remove_prefix(storePrefix.size());
    }
    while (!path.empty() && path.front() == L'\\') {
        path.remove_prefix(1);
    }
    return std::wstring(path);
}

std::vector<std::wstring> SplitFolderPath(std::wstring_view relativePath) {
    std::vector<std::wstring> parts;
    if (relativePath.empty()) {
        return parts;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = relativePath.find(L'\\', start);
        if (slash == std::wstring_view::npos) {
            parts.emplace_back(relativePath.substr(start));
            break;
        }
        parts.emplace_back(relativePath.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::vector<FolderTreeNode> LayOutFolderTree(const std::vector<SelectedFolder>& folders) {
    std::vector<FolderTreeNode> nodes;
    std::unordered_map<std::wstring, std::size_t> byKey;
    auto findOrAdd = [&](std::wstring key, std::wstring_view text, std::size_t parent,
                         bool& created) {
        const auto found = byKey.find(key);
        if (found != byKey.end()) {
            created = false;
            return found->second;
        }
        created = true;
        const std::size_t index = nodes.size();
        byKey.emplace(key, index);
        nodes.push_back(
            FolderTreeNode{std::move(key), std::wstring(text), parent, kUnboundTreeNode});
        return index;
    };

    for (std::size_t f = 0; f < folders.size(); ++f) {
        const std::wstring label = FolderStoreLabel(folders[f]);
        bool created = false;
        std::size_t current = findOrAdd(label, label, kNoTreeNode, created);
        std::wstring key = label;
        const std::vector<std::wstring> parts = SplitFolderPath(RelativeFolderPath(folders[f]));
        for (std::size_t p = 0; p < parts.size(); ++p) {
            key += L'\\';
            key += parts[p];
            current = findOrAdd(key, parts[p], current, created);
            // An existing node keeps whatever it was (or was not) bound to.
            if (created && p + 1 == parts.size()) {
                nodes[current].Folder = f;
            }
        }
    }
    return nodes;
}

}  // namespace wrenpost
