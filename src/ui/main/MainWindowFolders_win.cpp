// The folder tree and the folder titles: detection, ticks and titles.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"

namespace wrenpost {

void MainWindow::StartFolderDetection() {
    SetStatus(L"Status: Detecting Outlook Folders...");
    EnableDetectionButtons(false);
    const DetectionGate::Request request = detection_.Requested();
    if (request == DetectionGate::Request::Join) {
        return;
    }
    SetTimer(Window(), kTimerFolderDetection,
             static_cast<UINT>(services_.folderDetectionTimeout.count()), nullptr);
    if (request == DetectionGate::Request::AwaitBlocked) {
        return;
    }
    // A detection that cannot start still reports, as a failed detection.
    if (services_.startFolderDetection) {
        services_.startFolderDetection(Window());
    } else {
        wrenpost::StartFolderDetection(Window());
    }
}

void MainWindow::EnableDetectionButtons(bool enable) {
    EnableControl(kIdDetectFolders, enable);
    EnableControl(kIdLoad, enable);
}

void MainWindow::OnFolderDetectionDeadline() {
    KillTimer(Window(), kTimerFolderDetection);
    if (detection_.DeadlinePassed()) {
        log_.Error(L"Outlook did not answer folder detection within " +
                   std::to_wstring(services_.folderDetectionTimeout.count() / 1000) + L" s.");
        SetStatus(L"Status: Outlook Detect Failed");
        EnableDetectionButtons(true);
    }
}

void MainWindow::OnFoldersDetected(bool found, std::vector<SelectedFolder> folders,
                                   const std::wstring& explanation) {
    switch (detection_.Answered()) {
        case DetectionGate::Answer::Drop:
            return;
        case DetectionGate::Answer::DropAndRelaunch:
            StartFolderDetection();
            return;
        case DetectionGate::Answer::Apply:
            break;
    }
    KillTimer(Window(), kTimerFolderDetection);
    EnableDetectionButtons(true);
    if (!found) {
        log_.Error(L"Failed to detect Outlook folders.");
        SetStatus(L"Status: Outlook Detect Failed");
        Tell(Window(), L"Outlook Error", explanation, PromptIcon::Error);
        return;
    }
    const std::size_t visible = folders.size();
    fillingTree_ = true;
    folderTree_.Fill(folders);
    log_.Info(L"Outlook folders loaded into tree.");
    log_.Info(L"Visible Outlook folders: " + std::to_wstring(visible));
    const int restored = folderTree_.CheckFolders(selectedFolders_);
    fillingTree_ = false;
    log_.Info(L"Selected folders restored: " + std::to_wstring(restored));
    SetStatus(L"Status: Outlook Tree Loaded");
}

void MainWindow::OnFolderChecksChanged() {
    // A selected folder the tree does not show cannot have been unticked: keep it, so a click on
    // a tree from another mailbox (Outlook down since the last detection) does not drop it.
    std::vector<SelectedFolder> kept = folderTree_.CollectChecked();
    for (const SelectedFolder& folder : selectedFolders_) {
        if (!folderTree_.Shows(folder.FolderPath)) {
            kept.push_back(folder);
        }
    }
    selectedFolders_ = std::move(kept);
    RebuildFolderTitleList();
    SetControlText(kIdFoldersCount, L"Folders: " + std::to_wstring(selectedFolders_.size()));
}

void MainWindow::RebuildFolderTitleList() {
    HWND list = Control(kIdFolderTitleList);
    ListView_DeleteAllItems(list);
    int row = 0;
    for (const SelectedFolder& folder : selectedFolders_) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(folder.FolderPath.c_str());
        ListView_InsertItem(list, &item);
        const std::wstring title = TitleOf(folder.FolderPath);
        ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(title.c_str()));
        ++row;
    }
}

std::wstring MainWindow::TitleOf(const std::wstring& folderPath) const {
    for (const FolderTitle& title : folderTitles_) {
        if (title.FolderPath == folderPath) {
            return title.Title;
        }
    }
    return std::wstring();
}

int MainWindow::SelectedTitleRow() const {
    const int row = ListView_GetNextItem(Control(kIdFolderTitleList), -1, LVNI_SELECTED);
    return row >= 0 && row < static_cast<int>(selectedFolders_.size()) ? row : -1;
}

void MainWindow::OnFolderTitleSelected() {
    const int row = SelectedTitleRow();
    if (row >= 0) {
        SetControlText(kIdFolderTitle,
                       TitleOf(selectedFolders_[static_cast<std::size_t>(row)].FolderPath));
    }
}

void MainWindow::SetFolderTitle() {
    const int row = SelectedTitleRow();
    if (row < 0) {
        return;
    }
    const std::wstring title = TrimWhitespace(ControlText(kIdFolderTitle));
    const std::wstring& path = selectedFolders_[static_cast<std::size_t>(row)].FolderPath;
    ListView_SetItemText(Control(kIdFolderTitleList), row, 1, const_cast<wchar_t*>(title.c_str()));
    for (FolderTitle& existing : folderTitles_) {
        if (existing.FolderPath == path) {
            existing.Title = title;
            return;
        }
    }
    folderTitles_.push_back({path, title});
}

void MainWindow::SetTitleMode(bool single) {
    CheckRadioButton(Window(), kIdTitlesYes, kIdTitlesNo, single ? kIdTitlesYes : kIdTitlesNo);
    ShowTitleControls();
}

}  // namespace wrenpost
