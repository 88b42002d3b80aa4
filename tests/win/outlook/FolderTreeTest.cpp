// The folder tree on a real check-box tree view: filled from discovered folders (through the
// fake Outlook) and read back.
#include <gtest/gtest.h>
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include "OutlookTestSupport.h"
#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"
#include "ui/main/FolderTree_win.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

HTREEITEM Next(HWND tree, HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::wstring TextOf(HWND tree, HTREEITEM item) {
    wchar_t text[256] = {};
    TVITEMW query{};
    query.mask = TVIF_HANDLE | TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

class TreeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_TREEVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&init));
        host_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        HWND view = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                    WS_CHILD | TVS_CHECKBOXES | TVS_HASLINES | TVS_HASBUTTONS, 0, 0,
                                    400, 400, host_, nullptr, nullptr, nullptr);
        ASSERT_NE(view, nullptr);
        tree_.Attach(view);
    }
    void TearDown() override { DestroyWindow(host_); }

    // Every item, indented by level, with "*" for a bound item.
    std::vector<std::wstring> Dump() const {
        std::vector<std::wstring> lines;
        struct Walk {
            const TreeWindow* self;
            std::vector<std::wstring>& lines;
            void operator()(HTREEITEM first, int level) const {
                for (HTREEITEM item = first; item != nullptr;
                     item = Next(self->tree_.Handle(), item, TVGN_NEXT)) {
                    lines.push_back(std::wstring(level * 2, L' ') +
                                    TextOf(self->tree_.Handle(), item) +
                                    (self->tree_.FolderOf(item) != nullptr ? L" *" : L""));
                    (*this)(Next(self->tree_.Handle(), item, TVGN_CHILD), level + 1);
                }
            }
        };
        Walk{this, lines}(Next(tree_.Handle(), nullptr, TVGN_ROOT), 0);
        return lines;
    }

    // The item reached by following item texts from the top, e.g. L"A\\Inbox".
    HTREEITEM Find(const std::wstring& textPath) const {
        HTREEITEM item = nullptr;
        HTREEITEM level = Next(tree_.Handle(), nullptr, TVGN_ROOT);
        std::size_t start = 0;
        while (start <= textPath.size()) {
            std::size_t slash = textPath.find(L'\\', start);
            if (slash == std::wstring::npos) {
                slash = textPath.size();
            }
            const std::wstring text = textPath.substr(start, slash - start);
            for (item = level; item != nullptr && TextOf(tree_.Handle(), item) != text;
                 item = Next(tree_.Handle(), item, TVGN_NEXT)) {
            }
            if (item == nullptr) {
                return nullptr;
            }
            level = Next(tree_.Handle(), item, TVGN_CHILD);
            start = slash + 1;
        }
        return item;
    }

    std::vector<SelectedFolder> Discovered(const std::wstring& scenario) {
        EXPECT_TRUE(testing::RunningFakeOutlook().WriteScenario(scenario));
        std::vector<SelectedFolder> folders;
        EXPECT_TRUE(testing::OnOwnThread([&] { return DiscoverFolders(folders); }));
        return folders;
    }

    HWND host_ = nullptr;
    FolderTree tree_;
};

std::vector<std::wstring> Paths(const std::vector<SelectedFolder>& folders) {
    std::vector<std::wstring> paths;
    for (const SelectedFolder& folder : folders) {
        paths.push_back(folder.FolderPath);
    }
    return paths;
}

TEST_F(TreeWindow, DiscoveredStoresOfOneNameMergeAndANamelessStoreShowsMailbox) {
    tree_.Fill(Discovered(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox"}) +
        ScenarioLine({L"store", L"id=S2", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S2", L"path=Projects"}) +
        ScenarioLine({L"store", L"id=S3", L"name=", L"nodisplayname"}) +
        ScenarioLine({L"folder", L"store=S3", L"path=Inbox", L"folderpath=\\\\\\Inbox"})));
    EXPECT_EQ(Dump(), (std::vector<std::wstring>{L"Ann", L"  Inbox *", L"  Projects *", L"Mailbox",
                                                 L"  Inbox *"}));
}

TEST_F(TreeWindow, AnExcludedParentGetsAnItemThatSelectsNothing) {
    tree_.Fill(Discovered(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                          ScenarioLine({L"folder", L"store=S1", L"path=Team Chat"}) +
                          ScenarioLine({L"folder", L"store=S1", L"path=Team Chat\\Mail"}) +
                          ScenarioLine({L"folder", L"store=S1", L"path=Inbox"})));
    EXPECT_EQ(Dump(),
              (std::vector<std::wstring>{L"Ann", L"  Team Chat", L"    Mail *", L"  Inbox *"}));
    tree_.SetChecked(Find(L"Ann\\Team Chat"), true);
    EXPECT_TRUE(tree_.IsChecked(Find(L"Ann\\Team Chat")));
    EXPECT_TRUE(tree_.CollectChecked().empty());
}

TEST_F(TreeWindow, CheckedFoldersComeBackDepthFirstWhateverTheCheckingOrder) {
    std::vector<SelectedFolder> folders;
    for (const wchar_t* path :
         {L"\\\\A\\Inbox", L"\\\\A\\Inbox\\Sub", L"\\\\A\\Zed", L"\\\\B\\Inbox"}) {
        SelectedFolder folder;
        folder.FolderPath = path;
        folder.StoreName = std::wstring(path).substr(2, 1);
        folder.EntryId = std::wstring(L"id of ") + path;
        folders.push_back(folder);
    }
    tree_.Fill(folders);
    ASSERT_EQ(tree_.Folders().size(), 4u);
    for (const wchar_t* text : {L"A\\Zed", L"A\\Inbox\\Sub", L"A", L"A\\Inbox"}) {
        tree_.SetChecked(Find(text), true);
    }
    // The store item "A" is not bound, so checking it adds nothing.
    const auto checked = tree_.CollectChecked();
    EXPECT_EQ(Paths(checked),
              (std::vector<std::wstring>{L"\\\\A\\Inbox", L"\\\\A\\Inbox\\Sub", L"\\\\A\\Zed"}));
    EXPECT_EQ(checked[1].EntryId, L"id of \\\\A\\Inbox\\Sub");
    tree_.SetChecked(Find(L"A\\Inbox\\Sub"), false);
    EXPECT_EQ(Paths(tree_.CollectChecked()),
              (std::vector<std::wstring>{L"\\\\A\\Inbox", L"\\\\A\\Zed"}));
}

TEST_F(TreeWindow, FillingAgainReplacesEverythingAndSelectionsCanBeRestoredByPath) {
    SelectedFolder inbox;
    inbox.FolderPath = L"\\\\A\\Inbox";
    inbox.StoreName = L"A";
    SelectedFolder old = inbox;
    old.FolderPath = L"\\\\A\\Old";
    tree_.Fill({inbox, old});
    tree_.SetChecked(Find(L"A\\Old"), true);

    SelectedFolder other = inbox;
    other.FolderPath = L"\\\\A\\Other";
    tree_.Fill({inbox, other});
    EXPECT_EQ(Dump(), (std::vector<std::wstring>{L"A", L"  Inbox *", L"  Other *"}));
    EXPECT_TRUE(tree_.CollectChecked().empty());

    SelectedFolder wanted;
    wanted.FolderPath = L"\\\\A\\Other";
    SelectedFolder missing;
    missing.FolderPath = L"\\\\A\\Old";
    EXPECT_EQ(tree_.CheckFolders({wanted, missing}), 1);
    EXPECT_EQ(Paths(tree_.CollectChecked()), (std::vector<std::wstring>{L"\\\\A\\Other"}));
}

}  // namespace
}  // namespace wrenpost
