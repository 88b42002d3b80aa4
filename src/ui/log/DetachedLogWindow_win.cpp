#include "ui/log/DetachedLogWindow_win.h"

#include "common/Prompt.h"

namespace wrenpost {
namespace {

bool RegisterDetachedClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kDetachedLogWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kDetachedLogWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

void DetachedLogWindow::BringToFront() {
    ShowWindow(Window(), IsIconic(Window()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Window());
    SetFocus(view_.Control());
}

bool DetachedLogWindow::Open(HWND owner, const std::deque<std::wstring>& lines) {
    if (IsOpen()) {
        BringToFront();
        return true;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND created = nullptr;
    if (RegisterDetachedClass(instance, &DetachedLogWindow::WindowProc)) {
        created = CreateWindowExW(0, kDetachedLogWindowClass, L"Live Monitoring",
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1000, 650,
                                  owner, nullptr, instance, this);
    }
    if (created == nullptr || !view_.Control()) {
        if (created != nullptr) {
            DestroyWindow(created);
        }
        ShowPrompt({reinterpret_cast<std::uintptr_t>(owner), L"Monitor Window Error",
                    L"Failed to open the detached monitoring window.", PromptIcon::Error,
                    PromptButtons::Ok});
        return false;
    }
    view_.Rebuild(lines);
    BringToFront();
    return true;
}

void DetachedLogWindow::Close() {
    if (IsOpen()) {
        DestroyWindow(Window());
    }
}

LRESULT DetachedLogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            font_.reset(CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    FIXED_PITCH | FF_MODERN, L"Consolas"));
            if (!view_.Create(Window(), 1, static_cast<HFONT>(font_.get()), Window(),
                              kReturnTimerId)) {
                return -1;
            }
            RECT client{};
            GetClientRect(Window(), &client);
            MoveWindow(view_.Control(), 0, 0, client.right, client.bottom, TRUE);
            return 0;
        }
        case WM_SIZE:
            if (view_.Control()) {
                MoveWindow(view_.Control(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            }
            return 0;
        case WM_SETFOCUS:
            if (view_.Control()) {
                SetFocus(view_.Control());
            }
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = POINT{500, 300};
            return 0;
        }
        case WM_TIMER:
            if (wParam == kReturnTimerId) {
                view_.OnReturnTimer();
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(Window());
            return 0;
        case WM_DESTROY:
            KillTimer(Window(), kReturnTimerId);
            view_.Detach();
            font_.reset();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(Window(), message, wParam, lParam);
}

}  // namespace wrenpost
