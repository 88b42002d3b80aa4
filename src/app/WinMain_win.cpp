// Process entry: one ordinary instance per session, the main window and the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/SingleInstance_win.h"
#include "ui/main/MainWindow_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    using namespace wrenpost;

    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);

    const std::wstring vaultLaunchId = ParseVaultLaunchId(commandLine ? commandLine : L"");
    SingleInstanceGuard singleInstance;
    if (vaultLaunchId.empty() && !singleInstance.Acquire()) {
        ActivateRunningInstance();
        return 0;
    }

    MainWindow mainWindow;
    if (!MainWindow::RegisterWindowClass(instance) || !mainWindow.Create(instance, showCommand)) {
        return 0;
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (mainWindow.Window() != nullptr && IsDialogMessageW(mainWindow.Window(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
