// The "Live Monitoring" window: a resizable top-level copy of the activity log view.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "common/UniqueHandle_win.h"
#include "ui/BaseWindow_win.h"
#include "ui/log/LogView_win.h"

namespace wrenpost {

inline constexpr wchar_t kDetachedLogWindowClass[] = L"WrenpostDetachedMonitorWindow";

class DetachedLogWindow : public BaseWindow<DetachedLogWindow> {
public:
    static constexpr UINT_PTR kReturnTimerId = 1;

    // Opens the window filled from `lines`, or brings the open one to the front. False (after
    // showing the error box) when the window cannot be created.
    bool Open(HWND owner, const std::deque<std::wstring>& lines);
    bool IsOpen() const { return Window() != nullptr; }
    void Close();
    LogView& View() { return view_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void BringToFront();

    LogView view_;
    UniqueGdiObject font_;
};

}  // namespace wrenpost
