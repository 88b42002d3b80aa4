// The folder tree on a real check-box tree view: filled from folders and read back. How folders
// are arranged is the portable layout's (tests/unit/outlook).
#include <gtest/gtest.h>
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "ui/main/FolderTree_win.h"

namespace wrenpost {
namespace {

using Lines = std::vector<std::wstring>;

SelectedFolder Folder(const std::wstring& path) {
    SelectedFolder folder;
    folder.FolderPath = path;
    folder.StoreName = path.substr(2, path.find(L'\\', 2) - 2);
    folder.EntryId = L"id of " + path;
    return folder;
}

Lines Paths(const std::vector<SelectedFolder>& folders) {
    Lines paths;
    for (const SelectedFolder& folder : folders) {
        paths.push_back(folder.FolderPath);
    }
    return paths;
}

class FolderTreeView : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_TREEVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&init));
        host_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                                nullptr, nullptr, nullptr);
        tree_.Attach(CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | TVS_CHECKBOXES, 0, 0, 400,
                                     400, host_, nullptr, nullptr, nullptr));
        ASSERT_NE(tree_.Handle(), nullptr);
    }
    void TearDown() override { DestroyWindow(host_); }

    // Every item depth-first as its text path from the top ("A\\Inbox"), " *" after a bound one;
    // items_ finds them by path.
    Lines Dump(HTREEITEM item = nullptr, const std::wstring& prefix = L"") {
        Lines lines;
        item = prefix.empty() ? TreeView_GetRoot(tree_.Handle()) : item;
        for (; item != nullptr; item = TreeView_GetNextSibling(tree_.Handle(), item)) {
            wchar_t text[256] = {};
            TVITEMW query{};
            query.mask = TVIF_TEXT;
            query.hItem = item;
            query.pszText = text;
            query.cchTextMax = 256;
            TreeView_GetItem(tree_.Handle(), &query);
            items_[prefix + text] = item;
            lines.push_back(prefix + text + (tree_.FolderOf(item) != nullptr ? L" *" : L""));
            const Lines below =
                Dump(TreeView_GetChild(tree_.Handle(), item), prefix + text + L"\\");
            lines.insert(lines.end(), below.begin(), below.end());
        }
        return lines;
    }

    HWND host_ = nullptr;
    FolderTree tree_;
    std::map<std::wstring, HTREEITEM> items_;
};

TEST_F(FolderTreeView, CheckedFoldersComeBackDepthFirstAndSurviveARefillByPath) {
    tree_.Fill({Folder(L"\\\\A\\Inbox"), Folder(L"\\\\A\\Inbox\\Sub"), Folder(L"\\\\A\\Zed"),
                Folder(L"\\\\B\\Inbox")});
    EXPECT_EQ(Dump(),
              (Lines{L"A", L"A\\Inbox *", L"A\\Inbox\\Sub *", L"A\\Zed *", L"B", L"B\\Inbox *"}));
    for (const wchar_t* text : {L"A\\Zed", L"A\\Inbox\\Sub", L"A", L"A\\Inbox"}) {
        tree_.SetChecked(items_.at(text), true);
    }
    EXPECT_TRUE(tree_.IsChecked(items_.at(L"A")));
    const auto checked = tree_.CollectChecked();
    EXPECT_EQ(Paths(checked), (Lines{L"\\\\A\\Inbox", L"\\\\A\\Inbox\\Sub", L"\\\\A\\Zed"}));
    EXPECT_EQ(checked[1].EntryId, L"id of \\\\A\\Inbox\\Sub");
    tree_.SetChecked(items_.at(L"A\\Inbox\\Sub"), false);
    EXPECT_EQ(Paths(tree_.CollectChecked()), (Lines{L"\\\\A\\Inbox", L"\\\\A\\Zed"}));

    // A new fill replaces every item and check; selections come back by exact path.
    tree_.Fill({Folder(L"\\\\A\\Inbox"), Folder(L"\\\\A\\Other")});
    EXPECT_EQ(Dump(), (Lines{L"A", L"A\\Inbox *", L"A\\Other *"}));
    EXPECT_TRUE(tree_.CollectChecked().empty());
    EXPECT_EQ(tree_.CheckFolders({Folder(L"\\\\A\\Other"), Folder(L"\\\\A\\Zed")}), 1);
    EXPECT_EQ(Paths(tree_.CollectChecked()), (Lines{L"\\\\A\\Other"}));
}

}  // namespace
}  // namespace wrenpost
