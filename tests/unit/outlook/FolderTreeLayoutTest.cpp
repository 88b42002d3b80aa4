// How discovered folders are arranged into tree nodes.
#include <gtest/gtest.h>

#include "outlook/FolderTreeLayout.h"

namespace wrenpost {
namespace {

SelectedFolder Folder(std::wstring store, std::wstring path) {
    SelectedFolder folder;
    const std::size_t slash = path.rfind(L'\\');
    folder.Name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    folder.FolderPath = std::move(path);
    folder.StoreName = std::move(store);
    return folder;
}

// "key -> text (parent key) [bound folder]" per node, for compact assertions.
std::vector<std::wstring> Describe(const std::vector<FolderTreeNode>& nodes) {
    std::vector<std::wstring> out;
    for (const FolderTreeNode& node : nodes) {
        std::wstring line = node.Key + L" -> " + node.Text;
        line += L" (" + (node.Parent == kNoTreeNode ? L"top" : nodes[node.Parent].Key) + L")";
        if (node.Folder != kUnboundTreeNode) {
            line += L" [" + std::to_wstring(node.Folder) + L"]";
        }
        out.push_back(line);
    }
    return out;
}

TEST(RelativeFolderPath, StripsTheStorePrefixOnlyWhenItMatchesExactly) {
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub")), L"Inbox\\Sub");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Other\\Inbox")), L"Other\\Inbox");
    EXPECT_EQ(RelativeFolderPath(Folder(L"", L"\\\\Ann\\Inbox")), L"Ann\\Inbox");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Ann")), L"");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"Inbox")), L"Inbox");
    // Case matters: this is a plain prefix comparison.
    EXPECT_EQ(RelativeFolderPath(Folder(L"ann", L"\\\\Ann\\Inbox")), L"Ann\\Inbox");
}

TEST(SplitFolderPath, KeepsEmptyComponentsAndGivesNothingForNothing) {
    EXPECT_EQ(SplitFolderPath(L"a\\b"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(SplitFolderPath(L"a\\\\b"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_TRUE(SplitFolderPath(L"").empty());
}

TEST(FolderTreeLayout, StoresWithTheSameLabelShareOneTopNode) {
    const auto nodes =
        LayOutFolderTree({Folder(L"Ann", L"\\\\Ann\\Inbox"), Folder(L"Ann", L"\\\\Ann\\Projects")});
    EXPECT_EQ(Describe(nodes),
              (std::vector<std::wstring>{L"Ann -> Ann (top)", L"Ann\\Inbox -> Inbox (Ann) [0]",
                                         L"Ann\\Projects -> Projects (Ann) [1]"}));
}

TEST(FolderTreeLayout, AnEmptyStoreNameShowsMailbox) {
    const auto nodes = LayOutFolderTree({Folder(L"", L"\\\\\\Inbox")});
    EXPECT_EQ(Describe(nodes),
              (std::vector<std::wstring>{L"Mailbox -> Mailbox (top)",
                                         L"Mailbox\\Inbox -> Inbox (Mailbox) [0]"}));
}

TEST(FolderTreeLayout, AMissingParentGetsAnUnboundNode) {
    const auto nodes = LayOutFolderTree({Folder(L"Ann", L"\\\\Ann\\Calendar\\Mail")});
    EXPECT_EQ(Describe(nodes),
              (std::vector<std::wstring>{L"Ann -> Ann (top)", L"Ann\\Calendar -> Calendar (Ann)",
                                         L"Ann\\Calendar\\Mail -> Mail (Ann\\Calendar) [0]"}));
}

TEST(FolderTreeLayout, AnExistingNodeIsReusedAndNotBoundAgain) {
    // The same path twice (two stores of one name with the same folder): the first binding wins.
    const auto nodes =
        LayOutFolderTree({Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub"), Folder(L"Ann", L"\\\\Ann\\Inbox"),
                          Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub")});
    EXPECT_EQ(Describe(nodes),
              (std::vector<std::wstring>{L"Ann -> Ann (top)", L"Ann\\Inbox -> Inbox (Ann)",
                                         L"Ann\\Inbox\\Sub -> Sub (Ann\\Inbox) [0]"}));
}

TEST(FolderTreeLayout, AStoreRootRecordAddsOnlyItsTopNode) {
    const auto nodes = LayOutFolderTree({Folder(L"Ann", L"\\\\Ann")});
    EXPECT_EQ(Describe(nodes), (std::vector<std::wstring>{L"Ann -> Ann (top)"}));
}

TEST(FolderTreeLayout, KeysSeparateStoresAndLevels) {
    const auto nodes = LayOutFolderTree(
        {Folder(L"A", L"\\\\A\\x\\y"), Folder(L"B", L"\\\\B\\x"), Folder(L"A", L"\\\\A\\y")});
    EXPECT_EQ(Describe(nodes), (std::vector<std::wstring>{
                                   L"A -> A (top)", L"A\\x -> x (A)", L"A\\x\\y -> y (A\\x) [0]",
                                   L"B -> B (top)", L"B\\x -> x (B) [1]", L"A\\y -> y (A) [2]"}));
}

}  // namespace
}  // namespace wrenpost
