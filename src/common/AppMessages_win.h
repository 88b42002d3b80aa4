// Every private window message of the program, in one place so no two can collide. Records
// travel with them through PostRecord/AdoptRecord (common/PostedRecord_win.h).
#pragma once

#include <windows.h>

namespace wrenpost {

// To the verification window: a VerificationResultRecord.
inline constexpr UINT kVerificationResultMessage = WM_APP + 1;
// To the recipients manager: a delivery the monitor reported while it is open (a
// RecipientNotifiedRecord).
inline constexpr UINT kRecipientNotifiedForwardMessage = WM_APP + 1;
// To the main window: a MonitorStatusRecord from the monitor session's worker.
inline constexpr UINT kMonitorStatusMessage = WM_APP + 100;
// The main window to itself: a folder-tree check box changed (no record).
inline constexpr UINT kFolderChecksChangedMessage = WM_APP + 200;
// From the notification-area icon: the tray callback (no record).
inline constexpr UINT kTrayCallbackMessage = WM_APP + 300;
// To the main window: a FolderDiscoveryRecord.
inline constexpr UINT kFolderDiscoveryMessage = WM_APP + 400;
// To the main window: a LogLinesRecord of INFO lines from a Telegram worker.
inline constexpr UINT kWorkerLogLinesMessage = WM_APP + 501;
// To the main window: a BotCheckResultRecord.
inline constexpr UINT kBotCheckResultMessage = WM_APP + 600;
// To the main window: a TestSendResultRecord.
inline constexpr UINT kTestSendResultMessage = WM_APP + 700;
// To the main window: a RecipientNotifiedRecord from the monitor session's worker.
inline constexpr UINT kRecipientNotifiedMessage = WM_APP + 800;
// To the main window: one activity-log line from another thread.
inline constexpr UINT kLogLineMessage = WM_APP + 900;
// To the main window: an UpdateCheckRecord.
inline constexpr UINT kUpdateCheckResultMessage = WM_APP + 1100;
// The main window to itself: show an update result held while another dialog was open (no
// record).
inline constexpr UINT kHeldUpdateResultMessage = WM_APP + 1101;

}  // namespace wrenpost
