#include <gtest/gtest.h>

#include <functional>

#include "ui/main/FormSnapshot.h"

namespace wrenpost {
namespace {

SelectedFolder FolderAt(const wchar_t* path) {
    SelectedFolder folder;
    folder.StoreName = L"Mailbox";
    folder.FolderPath = path;
    folder.EntryId = std::wstring(L"id-") + path;
    return folder;
}

FormSnapshot Saved() {
    FormSnapshot form;
    form.config.ProfileName = L"Desk";
    form.config.Recipients = {{L"42", L"Ann", true, L"2026-01-01 10:00:00", L"Never"}};
    form.config.SelectedFolders = {FolderAt(L"Inbox"), FolderAt(L"Inbox\\Orders")};
    form.token = L"1:abc";
    form.rules.Rules = {{L"r1", L"Boss"}};
    return form;
}

TEST(FormSnapshot, CountsWhatSaveStoresAndNothingElse) {
    const struct {
        const char* edit;
        std::function<void(FormSnapshot&)> apply;
        bool changed;
    } rows[] = {
        {"nothing", [](FormSnapshot&) {}, false},
        {"name", [](FormSnapshot& f) { f.config.ProfileName = L"Desk2"; }, true},
        {"token", [](FormSnapshot& f) { f.token = L"1:abd"; }, true},
        {"recipient verified",
         [](FormSnapshot& f) { f.config.Recipients.push_back({L"7", L"Bo", true, L"", L""}); },
         true},
        {"folder unticked", [](FormSnapshot& f) { f.config.SelectedFolders.pop_back(); }, true},
        {"interval", [](FormSnapshot& f) { f.config.CheckInterval = 30; }, true},
        {"rules", [](FormSnapshot& f) { f.rules.Enabled = true; }, true},
        {"message options", [](FormSnapshot& f) { f.config.Message.Quiet.Enabled = true; },
         true},
        // The monitor writes these itself; the tree lists ticks in its own order and detects
        // them anew.
        {"notified", [](FormSnapshot& f) { f.config.Recipients[0].LastNotification = L"now"; },
         false},
        {"ticks reordered",
         [](FormSnapshot& f) {
             std::swap(f.config.SelectedFolders[0], f.config.SelectedFolders[1]);
             f.config.SelectedFolders[0].DetectedOn = L"today";
             f.config.SelectedFolders[0].Depth = 1;
         },
         false},
    };
    for (const auto& row : rows) {
        FormSnapshot now = Saved();
        row.apply(now);
        EXPECT_EQ(FormChanged(Saved(), now), row.changed) << row.edit;
    }
}

}  // namespace
}  // namespace wrenpost
