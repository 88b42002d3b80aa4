// How discovered folders are arranged into tree nodes.
#include <gtest/gtest.h>

#include "outlook/FolderTreeLayout.h"

namespace wrenpost {
namespace {

using Lines = std::vector<std::wstring>;

SelectedFolder Folder(std::wstring store, std::wstring path) {
    SelectedFolder folder;
    const std::size_t slash = path.rfind(L'\\');
    folder.Name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    folder.FolderPath = std::move(path);
    folder.StoreName = std::move(store);
    return folder;
}

// "key -> text (parent key) [bound folder]" per node, for compact assertions.
Lines Describe(const std::vector<FolderTreeNode>& nodes) {
    Lines out;
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

TEST(FolderTreePaths, RelativePathStripsAnExactStorePrefixAndSplitKeepsEmptyParts) {
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub")), L"Inbox\\Sub");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Other\\Inbox")), L"Other\\Inbox");
    EXPECT_EQ(RelativeFolderPath(Folder(L"", L"\\\\Ann\\Inbox")), L"Ann\\Inbox");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"\\\\Ann")), L"");
    EXPECT_EQ(RelativeFolderPath(Folder(L"Ann", L"Inbox")), L"Inbox");
    EXPECT_EQ(RelativeFolderPath(Folder(L"ann", L"\\\\Ann\\Inbox")), L"Ann\\Inbox");  // case
    EXPECT_EQ(SplitFolderPath(L"a\\\\b"), (Lines{L"a", L"", L"b"}));
    EXPECT_TRUE(SplitFolderPath(L"").empty());
}

TEST(FolderTreeLayout, ArrangesNodesByStoreLabelAndPath) {
    const struct {
        const char* name;
        std::vector<SelectedFolder> folders;
        Lines nodes;
    } cases[] = {
        {"one top node per store label",
         {Folder(L"Ann", L"\\\\Ann\\Inbox"), Folder(L"Ann", L"\\\\Ann\\Projects")},
         {L"Ann -> Ann (top)", L"Ann\\Inbox -> Inbox (Ann) [0]",
          L"Ann\\Projects -> Projects (Ann) [1]"}},
        {"an empty store name shows Mailbox",
         {Folder(L"", L"\\\\\\Inbox")},
         {L"Mailbox -> Mailbox (top)", L"Mailbox\\Inbox -> Inbox (Mailbox) [0]"}},
        {"a missing parent gets an unbound node",
         {Folder(L"Ann", L"\\\\Ann\\Calendar\\Mail")},
         {L"Ann -> Ann (top)", L"Ann\\Calendar -> Calendar (Ann)",
          L"Ann\\Calendar\\Mail -> Mail (Ann\\Calendar) [0]"}},
        {"an existing node is reused and the first binding wins",
         {Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub"), Folder(L"Ann", L"\\\\Ann\\Inbox"),
          Folder(L"Ann", L"\\\\Ann\\Inbox\\Sub")},
         {L"Ann -> Ann (top)", L"Ann\\Inbox -> Inbox (Ann)",
          L"Ann\\Inbox\\Sub -> Sub (Ann\\Inbox) [0]"}},
        {"a store root adds only its top node",
         {Folder(L"Ann", L"\\\\Ann")},
         {L"Ann -> Ann (top)"}},
        {"keys separate stores and levels",
         {Folder(L"A", L"\\\\A\\x\\y"), Folder(L"B", L"\\\\B\\x"), Folder(L"A", L"\\\\A\\y")},
         {L"A -> A (top)", L"A\\x -> x (A)", L"A\\x\\y -> y (A\\x) [0]", L"B -> B (top)",
          L"B\\x -> x (B) [1]", L"A\\y -> y (A) [2]"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(LayOutFolderTree(c.folders)), c.nodes) << c.name;
    }
}

}  // namespace
}  // namespace wrenpost
