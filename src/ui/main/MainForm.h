// The main window's form as data: every control with its id, kind, text, place and tooltip, and
// the layout that moves them as the window is resized. Portable, so the layout is tested on Linux;
// positions are in 96-DPI units and scaled to the window's DPI by the layout.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace wrenpost {

enum MainControlId : int {
    kIdProfileName = 1001,
    kIdProvider = 1002,
    kIdAccessToken = 1003,
    kIdRecipientCount = 1004,
    kIdCheckSeconds = 1005,
    kIdSource = 1006,
    kIdOperation = 1007,
    kIdStartMonitor = 2001,
    kIdStopMonitor = 2002,
    kIdSave = 2003,
    kIdLoad = 2004,
    kIdTest = 2005,
    kIdDetectFolders = 2006,
    kIdLaunchAtStartup = 2007,
    kIdGetChatId = 2008,
    kIdTokenHelp = 2009,
    kIdShareBot = 2010,
    kIdOpenBot = 2011,
    kIdCheckBot = 2012,
    kIdManageRecipients = 2013,
    kIdClear = 2014,
    kIdVault = 2015,
    kIdMonitorLamp = 2016,
    kIdDetachButton = 2017,
    kIdFolderTree = 3002,
    kIdTitlesYes = 3010,
    kIdTitlesNo = 3011,
    kIdNotificationTitle = 3012,
    kIdFolderTitleList = 3013,
    kIdFolderTitle = 3014,
    kIdSetFolderTitle = 3015,
    kIdSendExistingUnread = 3016,
    kIdRules = 3017,
    kIdRulesHelp = 3018,
    kIdAbout = 3019,
    kIdLogView = 3020,
    kIdStatusLine = 3021,
    kIdMessageOptions = 3022,
    // Labels the program changes or lays out get ids of their own.
    kIdBotNameLabel = 3030,
    kIdBotUsernameLabel,
    kIdBotName,
    kIdBotUsername,
    kIdSpinner,
    kIdNotificationTitleLabel,
    kIdFolderTitleLabel,
    kIdLastCheck,
    kIdMessagesSent,
    kIdQueue,
    kIdFoldersCount,
    kIdFoldersLabel,
    kIdStaticLabel = 3100,  // fixed labels: 3100, 3101, ... in table order
};

// The "?" buttons' window texts: what a screen reader says of them (they draw only "?").
inline constexpr wchar_t kTokenHelpName[] = L"Help: Access Token";
inline constexpr wchar_t kRulesHelpName[] = L"Help: Notification Rules and Outlook Rules";

enum class ControlKind {
    Label,
    Edit,
    PasswordEdit,
    ReadOnlyEdit,
    NumberEdit,
    DropDown,
    Button,
    DefaultButton,
    OwnerDrawnButton,
    OwnerDrawnLabel,
    RadioFirst,  // starts the radio group
    Radio,
    CheckBox,
    ListView,
    TreeView,
    LogView,  // created by the log view itself, placed by the layout
};

// Which title controls a control belongs to: shown for "Yes" (one title for all folders),
// for "No" (a title per folder), or always.
enum class TitleMode { Always, SingleTitle, PerFolderTitles };

struct FormRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const FormRect&) const = default;
};

struct FormControl {
    int id;
    ControlKind kind;
    const wchar_t* text;
    FormRect place;  // for the initial client area, 96-DPI units
    const wchar_t* tooltip = nullptr;
    TitleMode titleMode = TitleMode::Always;
    bool centred = false;
};

// In creation (and Tab) order.
std::span<const FormControl> MainFormControls();
const FormControl* FindFormControl(int id);

// The smallest window the form is made for, and the initial size (96-DPI units, outer size).
inline constexpr int kFormMinimumWidth = 900;
inline constexpr int kFormMinimumHeight = 964;
inline constexpr int kFormInitialWidth = 1000;
inline constexpr int kFormInitialHeight = 1024;
// Below this client height the tree and the log shrink (to these minimums) before the form
// starts to scroll.
inline constexpr int kFormFullHeight = 894;
inline constexpr int kMinimumTreeHeight = 40;
inline constexpr int kMinimumLogHeight = 30;

struct PlacedControl {
    int id;
    FormRect place;  // pixels, relative to the top of the form (the caller subtracts its scroll)
};

struct FormLayout {
    std::vector<PlacedControl> controls;  // every control of the table, in table order
    int formHeight = 0;                   // pixels; more than the client height: it scrolls
    int firstTitleColumnWidth = 0;        // pixels; the folder title list's first column
    int secondTitleColumnWidth = 0;
    const FormRect* Find(int id) const;
};

// Lays the form out for a client area of `clientWidth` x `clientHeight` pixels at `dpi`, with
// the system's vertical scroll bar `scrollBarWidth` pixels wide. Empty (nothing moves) when the
// client area is too small to lay out: width - 40 < 100 or height < 200 (96-DPI units).
FormLayout LayoutMainForm(int clientWidth, int clientHeight, int dpi, int scrollBarWidth);

// `value` (96-DPI units) at `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int value, int dpi);

}  // namespace wrenpost
