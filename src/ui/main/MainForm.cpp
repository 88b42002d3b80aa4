#include "ui/main/MainForm.h"

#include <algorithm>

namespace wrenpost {
namespace {

using K = ControlKind;
using M = TitleMode;

constexpr FormControl kControls[] = {
    {kIdStaticLabel + 0, K::Label, L"&Profile Name:", {20, 20, 130, 25}},
    {kIdProfileName, K::Edit, L"", {180, 20, 560, 25}},
    {kIdAbout, K::Button, L"A&bout", {860, 18, 100, 29}},
    // Each label just before its drop-down: screen readers name a control by the label before it.
    {kIdStaticLabel + 1, K::Label, L"Source:", {20, 60, 150, 25}},
    {kIdSource, K::DropDown, L"Outlook Classic", {180, 60, 220, 200}},
    {kIdStaticLabel + 2, K::Label, L"Operation:", {20, 100, 150, 25}},
    {kIdOperation, K::DropDown, L"Notification", {180, 100, 220, 200}},
    {kIdStaticLabel + 3, K::Label, L"Provider:", {20, 140, 150, 25}},
    {kIdProvider, K::DropDown, L"Telegram", {180, 140, 220, 200}},
    {kIdStaticLabel + 4, K::Label, L"Access &Token:", {20, 180, 150, 25}},
    {kIdAccessToken, K::PasswordEdit, L"", {180, 180, 460, 25}},
    {kIdCheckBot, K::Button, L"Chec&k", {650, 178, 60, 29}},
    {kIdTokenHelp, K::OwnerDrawnButton, kTokenHelpName, {718, 178, 22, 29}},
    {kIdVault, K::Button, L"&Vault", {748, 178, 52, 29}, L"Manage saved bot tokens"},
    {kIdBotNameLabel, K::Label, L"Bot Name:", {20, 218, 150, 25}},
    {kIdBotName, K::ReadOnlyEdit, L"", {180, 218, 300, 25}},
    {kIdBotUsernameLabel, K::Label, L"Bot Username:", {20, 256, 150, 25}},
    {kIdBotUsername, K::ReadOnlyEdit, L"", {180, 256, 300, 25}},
    {kIdShareBot, K::Button, L"S&hare", {490, 254, 70, 29}},
    {kIdOpenBot, K::Button, L"Open", {568, 254, 70, 29}},
    {kIdSpinner, K::Label, L"", {648, 258, 24, 20}},
    {kIdStaticLabel + 5, K::Label, L"Recipients:", {20, 294, 150, 25}},
    {kIdRecipientCount, K::ReadOnlyEdit, L"0", {180, 294, 50, 25}, nullptr, M::Always, true},
    {kIdGetChatId, K::Button, L"&Get Chat ID", {238, 292, 150, 29}},
    {kIdManageRecipients, K::Button, L"Ma&nage Recipients", {396, 292, 230, 29}},
    {kIdStaticLabel + 6, K::Label, L"Check Secon&ds:", {634, 294, 180, 25}},
    {kIdCheckSeconds, K::NumberEdit, L"10", {818, 294, 60, 25}},
    {kIdStaticLabel + 7,
     K::Label,
     L"Notification title applies to all folders?",
     {20, 332, 255, 25}},
    {kIdTitlesYes, K::RadioFirst, L"&Yes", {280, 332, 55, 25}},
    {kIdTitlesNo, K::Radio, L"No", {340, 332, 55, 25}},
    {kIdSendExistingUnread, K::CheckBox, L"Also send e&xisting unread emails", {420, 332, 242, 25}},
    {kIdMessageOptions,
     K::Button,
     L"&Message\u2026",
     {670, 330, 88, 29},
     L"What a notification shows, quiet hours and bursts"},
    {kIdRules, K::Button, L"&Rules", {764, 330, 72, 29}, L"Configure notification rules"},
    {kIdRulesHelp,
     K::OwnerDrawnButton,
     kRulesHelpName,
     {842, 330, 22, 29},
     L"Do you need this if you already use Outlook Rules?"},
    {kIdNotificationTitleLabel,
     K::Label,
     L"Notification T&itle:",
     {20, 365, 135, 25},
     nullptr,
     M::SingleTitle},
    {kIdNotificationTitle, K::Edit, L"", {160, 365, 580, 25}, nullptr, M::SingleTitle},
    {kIdFolderTitleList, K::ListView, L"", {20, 365, 760, 110}, nullptr, M::PerFolderTitles},
    {kIdFolderTitleLabel,
     K::Label,
     L"Folder Titl&e:",
     {20, 482, 85, 25},
     nullptr,
     M::PerFolderTitles},
    {kIdFolderTitle, K::Edit, L"", {110, 482, 558, 25}, nullptr, M::PerFolderTitles},
    {kIdSetFolderTitle, K::Button, L"Set", {676, 480, 64, 29}, nullptr, M::PerFolderTitles},
    {kIdStartMonitor, K::OwnerDrawnButton, L"ST&ART MONITOR", {180, 514, 180, 45}},
    {kIdStopMonitor, K::OwnerDrawnButton, L"ST&OP MONITOR", {380, 514, 180, 45}},
    {kIdMonitorLamp, K::OwnerDrawnLabel, L"Monitor: not started", {358, 528, 25, 25}},
    {kIdSave, K::Button, L"&SAVE", {100, 574, 100, 35}},
    {kIdLoad, K::Button, L"&LOAD", {220, 574, 100, 35}},
    {kIdDetectFolders, K::Button, L"DETECT &FOLDERS", {340, 574, 180, 35}},
    {kIdLastCheck, K::Label, L"Last Check: -", {20, 634, 250, 25}},
    {kIdMessagesSent, K::Label, L"Messages Sent: 0", {280, 634, 160, 25}},
    {kIdQueue, K::Label, L"Queue: 0", {445, 634, 140, 25}},
    {kIdFoldersCount, K::Label, L"Folders: 0", {590, 634, 150, 25}},
    {kIdFoldersLabel, K::Label, L"Outlook Folders:", {20, 664, 200, 25}},
    {kIdFolderTree, K::TreeView, L"", {20, 694, 740, 130}},
    {kIdLogView, K::LogView, L"", {20, 794, 740, 90}},
    {kIdDetachButton,
     K::OwnerDrawnButton,
     L"Open monitoring in a separate window",
     {738, 796, 22, 22},
     L"Open monitoring in a separate window"},
    {kIdStatusLine, K::Label, L"Status: Ready", {20, 894, 740, 25}},
    {kIdLaunchAtStartup, K::CheckBox, L"La&unch at Windows startup", {20, 924, 260, 25}},
    {kIdTest, K::Button, L"TEST", {540, 930, 100, 25}},
    {kIdClear, K::Button, L"&CLEAR", {650, 930, 100, 25}},
};

// The lower area: tree and log share what the rows above and below leave.
struct LowerArea {
    int tree;
    int log;
};

LowerArea SplitLowerArea(int height) {
    const int area = height - 772;
    if (area >= 130) {
        const int tree = std::max(60, area * 55 / 100);
        return {tree, std::max(40, area - tree - 10)};
    }
    if (height >= kFormFullHeight) {
        return {71, 49};
    }
    // Smaller than the form was made for (a small screen): the tree and log give up space first,
    // in the same proportion, down to their minimums; after that the form scrolls.
    const int room = std::max(0, 120 - (kFormFullHeight - height));
    const int tree = std::max(kMinimumTreeHeight, room * 71 / 120);
    return {tree, std::max(kMinimumLogHeight, room - tree)};
}

FormRect Scale(const FormRect& rect, int dpi) {
    const int left = ScaleForDpi(rect.x, dpi);
    const int top = ScaleForDpi(rect.y, dpi);
    return {left, top, ScaleForDpi(rect.x + rect.width, dpi) - left,
            ScaleForDpi(rect.y + rect.height, dpi) - top};
}

// What the layout of one window size needs to know, in 96-DPI units.
struct FormFrame {
    int width;
    int height;
    LowerArea lower;
    int scrollBar;
};

// The rows above the monitor buttons: edits widen with the window, right-hand buttons follow it.
bool PlaceUpperRows(int id, int w, FormRect& r) {
    switch (id) {
        case kIdProfileName:
            r.width = std::max(100, w - 448);
            return true;
        case kIdAbout:
            r.x = w - 120;
            return true;
        case kIdVault:
            r.x = w - 72;
            return true;
        case kIdTokenHelp:
            r.x = w - 98;
            return true;
        case kIdCheckBot:
            r.x = w - 166;
            return true;
        case kIdAccessToken:
            r.width = w - 354;
            return true;
        // The Rules row keeps its buttons at the right margin; the check box takes the rest.
        case kIdSendExistingUnread:
            r.width = w - 642;
            return true;
        case kIdMessageOptions:
            r.x = w - 214;
            return true;
        case kIdRules:
            r.x = w - 120;
            return true;
        case kIdRulesHelp:
            r.x = w - 42;
            return true;
        case kIdNotificationTitle:
            r = {160, r.y, w - 180, r.height};
            return true;
        case kIdFolderTitleList:
            r = {20, 365, w - 40, 110};
            return true;
        case kIdSetFolderTitle:
            r.x = w - 84;
            r.y = 480;
            return true;
        case kIdFolderTitle:
            r.width = w - 202;
            return true;
        default:
            return false;
    }
}

// The monitor buttons and the SAVE row, centred.
bool PlaceButtonRows(int id, int w, FormRect& r) {
    const int buttonsLeft = std::max(20, (w - 400) / 2);
    switch (id) {
        case kIdStartMonitor:
            r.x = w / 2 - 196;
            r.y = 514;
            return true;
        case kIdStopMonitor:
            r.x = w / 2 + 16;
            r.y = 514;
            return true;
        case kIdMonitorLamp:
            r.x = w / 2 - 12;
            r.y = 524;
            return true;
        case kIdSave:
            r.x = buttonsLeft;
            return true;
        case kIdLoad:
            r.x = buttonsLeft + 110;
            return true;
        case kIdDetectFolders:
            r.x = buttonsLeft + 220;
            return true;
        default:
            return false;
    }
}

// The tree and the log share the height; the rows below them keep to the bottom.
void PlaceLowerRows(int id, const FormFrame& frame, FormRect& r) {
    const int w = frame.width;
    const int h = frame.height;
    switch (id) {
        case kIdFolderTree:
            r = {20, 694, w - 40, frame.lower.tree};
            break;
        case kIdLogView:
            r = {20, 704 + frame.lower.tree, w - 40, frame.lower.log};
            break;
        case kIdDetachButton:
            r.x = w - 40 - 3 * frame.scrollBar - 6;
            r.y = 708 + frame.lower.tree;
            break;
        case kIdStatusLine:
            r = {20, h - 70, w - 40, r.height};
            break;
        case kIdLaunchAtStartup:
            r.y = h - 37;
            break;
        // The table puts TEST and CLEAR 6 units below the check box's top, on its row.
        case kIdTest:
            r.x = w - 230;
            r.y = h - 31;
            break;
        case kIdClear:
            r.x = w - 120;
            r.y = h - 31;
            break;
        default:
            break;
    }
}

FormRect PlaceControl(const FormControl& control, const FormFrame& frame) {
    FormRect r = control.place;
    if (!PlaceUpperRows(control.id, frame.width, r) &&
        !PlaceButtonRows(control.id, frame.width, r)) {
        PlaceLowerRows(control.id, frame, r);
    }
    return r;
}

}  // namespace

std::span<const FormControl> MainFormControls() {
    return kControls;
}

const FormControl* FindFormControl(int id) {
    const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                    [id](const FormControl& control) { return control.id == id; });
    return found == std::end(kControls) ? nullptr : &*found;
}

int ScaleForDpi(int value, int dpi) {
    const long long scaled = static_cast<long long>(value) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

const FormRect* FormLayout::Find(int id) const {
    for (const PlacedControl& control : controls) {
        if (control.id == id) {
            return &control.place;
        }
    }
    return nullptr;
}

FormLayout LayoutMainForm(int clientWidth, int clientHeight, int dpi, int scrollBarWidth) {
    FormLayout layout;
    if (dpi <= 0) {
        return layout;
    }
    const int w = clientWidth * 96 / dpi;
    const int visibleHeight = clientHeight * 96 / dpi;
    if (w - 40 < 100 || visibleHeight < 200) {
        return layout;
    }
    const LowerArea lower = SplitLowerArea(visibleHeight);
    // The rows below the log keep their distance from it when the form is taller than the window.
    const int h = std::max(visibleHeight, 774 + lower.tree + lower.log);
    const FormFrame frame{w, h, lower, scrollBarWidth * 96 / dpi};
    for (const FormControl& control : kControls) {
        layout.controls.push_back({control.id, Scale(PlaceControl(control, frame), dpi)});
    }
    // Exactly the client height when the form fits, so rounding never asks for a scroll bar.
    layout.formHeight = h == visibleHeight ? clientHeight : ScaleForDpi(h, dpi);
    const int first = (w - 44) * 55 / 100;
    layout.firstTitleColumnWidth = ScaleForDpi(first, dpi);
    layout.secondTitleColumnWidth = ScaleForDpi(w - 44 - first, dpi);
    return layout;
}

}  // namespace wrenpost
