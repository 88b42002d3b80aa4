// FakeOutlook.exe: serves the fake object model as Outlook.Application from a scenario file.
// Usage: FakeOutlook.exe <scenario file> [-Embedding]. Leaves on the Quit event (or a WM_QUIT),
// always telling its application sinks Quit and revoking its registrations first (a stale
// registration breaks later launches).
#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>
#include <shellapi.h>

#include "common/UniqueHandle_win.h"
#include "fakes/outlook/FakeObjects.h"
#include "fakes/outlook/FakeOutlookNames.h"

using namespace wrenpost;
using namespace wrenpost::fake_outlook;

namespace {

// Lives on the server's stack for the whole run; hands out the one application, like Outlook.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(IDispatch* application) : application_(application) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory);
        *out = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        return outer != nullptr ? CLASS_E_NOAGGREGATION : application_->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    IDispatch* application_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const UniqueLocalMemory ownedArgv(argv);
    if (argv == nullptr || argc < 2) {
        return 2;
    }
    State().ScenarioPath = argv[1];
    State().Refresh();
    // Manual reset; the harness's events when they already exist.
    const auto event = [](const wchar_t* name) { return CreateEventW(nullptr, TRUE, FALSE, name); };
    const UniqueHandle ready(event(kReadyEvent)), quit(event(kQuitEvent)),
        stopped(event(kStoppedEvent)), hanging(event(kHangingEvent)), release(event(kReleaseEvent));
    State().Hanging = hanging.get();
    State().Release = release.get();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 3;
    }
    IDispatch* application = CreateApplication();
    ClassFactory factory(application);
    DWORD classCookie = 0, activeCookie = 0;
    const bool registered =
        SUCCEEDED(CoRegisterClassObject(kClassId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                        &classCookie)) &&
        SUCCEEDED(RegisterActiveObject(application, kClassId, ACTIVEOBJECT_STRONG, &activeCookie));
    if (registered) {
        ResetEvent(stopped.get());
        SetEvent(ready.get());
        HANDLE quitEvent = quit.get();
        MSG msg{};
        // While anyone listens, the file is watched so that new items are announced unasked,
        // from here and never inside a client's call, as Outlook does.
        while (msg.message != WM_QUIT &&
               MsgWaitForMultipleObjects(1, &quitEvent, FALSE,
                                         State().Sinks.empty() ? INFINITE : 50,
                                         QS_ALLINPUT) != WAIT_OBJECT_0) {
            while (msg.message != WM_QUIT && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
            if (!State().Sinks.empty()) {
                State().Refresh();
            }
            AnnounceNewItems();
        }
        Notify(kApplicationEvents, L"", kQuit, nullptr);
        ResetEvent(ready.get());
        RevokeActiveObject(activeCookie, nullptr);
    }
    if (classCookie != 0) {
        CoRevokeClassObject(classCookie);
    }
    ReleaseSinks();
    CoDisconnectObject(application, 0);
    application->Release();
    CoUninitialize();
    SetEvent(stopped.get());
    return registered ? 0 : 4;
}
