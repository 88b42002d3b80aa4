#include "ui/main/Application_win.h"

#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "app/CommandLine.h"
#include "app/CrashNotice_win.h"
#include "app/CrashReporter_win.h"
#include "app/SingleInstance_win.h"
#include "common/Prompt.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost {
namespace {

class OleSession {
public:
    OleSession() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleSession() {
        if (initialized_) {
            OleUninitialize();
        }
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    bool initialized_;
};

}  // namespace

int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    if (CrashDumpRequest request; ParseCrashDumpRequest(commandLine ? commandLine : L"", request)) {
        return WriteCrashDumpFor(request);
    }
    (void)InstallCrashReporter();
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);

    const std::wstring_view arguments = commandLine ? commandLine : L"";
    const std::wstring vaultLaunchId = ParseVaultLaunchId(arguments);
    const bool startedAtLogon = HasStartupSwitch(arguments);
    SingleInstanceGuard singleInstance;
    if (vaultLaunchId.empty() && !singleInstance.Acquire()) {
        // By class alone: the title names the loaded profile.
        ActivateRunningInstance(kMainWindowClass, nullptr);
        return 0;
    }

    // The shell's folder picker, the file dialogs and ShellExecuteW need a single-threaded
    // apartment with OLE on this thread before any window exists.
    const OleSession ole;
    // Before the start at log-on resumes monitoring, which rewrites the status file.
    bool crashNoticePending = TakeLastCrash().has_value();
    MainWindow mainWindow;
    if (!MainWindow::RegisterWindowClass(instance) ||
        !mainWindow.Create(instance, startedAtLogon ? SW_HIDE : showCommand)) {
        // Without a window nothing else would tell the user that the start failed.
        ShowPrompt({0, kMainWindowTitle,
                    L"Wrenpost could not create its main window and will close.", PromptIcon::Error,
                    PromptButtons::Ok});
        return 1;
    }

    if (!vaultLaunchId.empty()) {
        mainWindow.LoadTokenFromVault(vaultLaunchId);
    }
    if (startedAtLogon) {
        mainWindow.ResumeLastProfile();
    }
    // The first check needs the window: its result comes back as a message to it.
    mainWindow.StartAutomaticUpdateChecks();

    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // A start at log-on keeps it until the user opens the window from the tray.
        if (crashNoticePending && IsWindowVisible(mainWindow.Window())) {
            crashNoticePending = false;
            OfferCrashFolder(mainWindow.Window());
        }
        if (mainWindow.Window() != nullptr && IsDialogMessageW(mainWindow.Window(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

}  // namespace wrenpost
