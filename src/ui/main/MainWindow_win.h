// The program's one top-level window. It owns the activity log, its line buffer and views, and
// (as later features arrive) the profile being edited and the monitor session. Only the UI
// thread touches it; workers reach it through posted records.
#pragma once

#include <windows.h>

#include <string>

#include "common/ActivityLog.h"
#include "common/UniqueHandle_win.h"
#include "ui/BaseWindow_win.h"
#include "ui/log/DetachedLogWindow_win.h"
#include "ui/log/LogView_win.h"

namespace wrenpost {

// Found by a second start (to activate this window) and by the end-to-end tests.
inline constexpr wchar_t kMainWindowClass[] = L"WrenpostMainWindow";
inline constexpr wchar_t kMainWindowTitle[] = L"Wrenpost";

// Control and timer identifiers of the main window.
enum MainControlId : int {
    kIdLogView = 3020,
    kIdDetachButton = 2017,
    kIdStatusLine = 3021,
};
inline constexpr UINT_PTR kTimerLogReturn = 3097;

class MainWindow : public BaseWindow<MainWindow> {
public:
    // The log capacity is 5,000 lines; tests choose a smaller one to stay fast under wine.
    explicit MainWindow(std::size_t logCapacity = LogLineBuffer::kDefaultCapacity);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);
    // Creates (and shows with `showCommand`) the 1000 x 1024 window; false on failure,
    // including a WM_CREATE that could not create the log view or the controls.
    bool Create(HINSTANCE instance, int showCommand);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    ActivityLog& Log() { return log_; }
    // On the UI thread only; other threads log through Log(), whose lines travel as records.
    void AppendLogLine(std::wstring line);
    void OpenDetachedLog();
    void SetStatus(const std::wstring& text);

    const LogLineBuffer& LogLines() const { return logLines_; }
    LogView& MainLogView() { return mainLogView_; }
    DetachedLogWindow& DetachedLog() { return detachedLog_; }
    std::wstring StatusText() const;

private:
    LRESULT OnCreate();
    void OnDestroy();
    void Layout(int width, int height);
    bool CreateControls();
    void DrawDetachButton(const DRAWITEMSTRUCT& item) const;

    DWORD uiThread_;
    bool created_ = false;
    ActivityLog log_;
    LogLineBuffer logLines_;
    LogView mainLogView_;
    DetachedLogWindow detachedLog_;
    UniqueGdiObject controlBrush_;
    UniqueGdiObject logFont_;
    UniqueGdiObject uiFont_;
    HWND statusLine_ = nullptr;
    HWND detachButton_ = nullptr;
    HWND tooltip_ = nullptr;
};

}  // namespace wrenpost
