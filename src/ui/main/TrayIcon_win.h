// The notification-area icon: a coloured dot that tells at a glance whether monitoring runs, and
// the pop-up menu behind it. The icon outlives a restart of Explorer through Readd().
#pragma once

#include <windows.h>
// The header below needs windows.h first.
#include <shellapi.h>

#include <functional>
#include <string>

#include "common/UniqueHandle_win.h"

namespace wrenpost {

enum class TrayState { Stopped, Running, Stopping };  // red, green, amber

using ShellNotifyFunction = std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)>;

class TrayIcon {
public:
    // `notify` defaults to Shell_NotifyIconW; tests pass a recorder.
    explicit TrayIcon(ShellNotifyFunction notify = {});
    ~TrayIcon();  // removes the icon if added, frees the icons
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Makes the three icons for `dpi` and adds icon id 1 with `callbackMessage`, the tooltip
    // "Wrenpost" and the red icon. The program icon (resource 107 of `instance`) stands in for
    // an icon that cannot be made. False if the shell refused the icon; Readd() tries again.
    bool Add(HWND window, UINT callbackMessage, HINSTANCE instance, UINT dpi);
    void SetState(TrayState state);  // shows that state's icon when added
    TrayState State() const { return state_; }
    // Shown when the pointer rests on the icon; cut to the shell's 127 characters.
    void SetTooltip(const std::wstring& text);
    const std::wstring& Tooltip() const { return tooltip_; }
    void Remove();
    bool IsAdded() const { return added_; }
    // For the TaskbarCreated message (Explorer started or restarted): adds the icon again, with
    // the current state, unless it was never added or has been removed.
    void Readd();
    static UINT TaskbarCreatedMessage();  // registered once, then cached
    HICON IconFor(TrayState state) const;

private:
    bool Notify(DWORD message);

    ShellNotifyFunction notify_;
    HWND window_ = nullptr;  // set from Add() until Remove(): the icon is wanted
    UINT callbackMessage_ = 0;
    bool added_ = false;
    TrayState state_ = TrayState::Stopped;
    std::wstring tooltip_ = L"Wrenpost";
    UniqueIcon icons_[3];
    HICON programIcon_ = nullptr;  // shared resource icon, never destroyed
};

// The tray's pop-up menu at the cursor: "Restore", "Stop Monitor", a separator, "Exit". Returns
// the chosen command, 0 when the menu was dismissed.
int ShowTrayMenu(HWND window);
inline constexpr int kTrayRestore = 4001, kTrayStopMonitor = 4002, kTrayExit = 4003;

}  // namespace wrenpost
