// The watch thread: subscriptions through Outlook's connection points, the burst window, the
// check that Outlook is still there and the retry after a refusal or a lost Outlook.
#include "outlook/MailWatcher_win.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "common/UniqueHandle_win.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost {
namespace {

// Outlook's event interfaces and the members the watch acts on.
constexpr IID kItemsEvents = {0x00063077, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kApplicationEvents = {0x0006302C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr DISPID kItemAdd = 0xF001;
constexpr DISPID kNewMailEx = 0xFAB5;
constexpr DISPID kQuit = 0xF007;

constexpr ULONGLONG kBurstMs = 300;  // notices this close together make one wake
constexpr ULONGLONG kHealthMs = 10000;
constexpr DWORD kStopWaitMs = 50;

std::wstring HresultText(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// What the owner and the watch thread share. The thread may outlive the owner while Outlook
// holds it, so the callbacks are only called under the lock and never once `stopping` is set.
struct WatchShared {
    std::mutex mutex;
    bool stopping = false;
    bool foldersChanged = false;
    std::vector<SelectedFolder> folders;
    std::function<void()> wake;
    std::function<void(const std::wstring&)> log;
    ULONGLONG retryMs = 30000;  // after a refused subscription or a lost Outlook
    UniqueHandle signal{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // folders or stopping
    UniqueHandle exited{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    void Wake() {
        std::lock_guard lock(mutex);
        if (!stopping && wake) {
            wake();
        }
    }
    void Log(const std::wstring& line) {
        std::lock_guard lock(mutex);
        if (!stopping && log) {
            log(line);
        }
    }
};

class WatchThread;

// The event sink Outlook calls on the watch thread. It lives on that thread's stack and is
// disconnected from COM before the thread leaves, so its count never frees it.
class EventSink final : public IDispatch {
public:
    explicit EventSink(WatchThread& owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                           IsEqualIID(riid, kItemsEvents) || IsEqualIID(riid, kApplicationEvents);
        *out = known ? static_cast<IDispatch*>(this) : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override;

private:
    WatchThread& owner_;
    std::atomic<ULONG> refs_{1};
};

class WatchThread {
public:
    explicit WatchThread(std::shared_ptr<WatchShared> shared) : shared_(std::move(shared)) {}
    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;

    void Run();
    // Called by the sink, on this thread, while the message loop dispatches Outlook's call.
    void Noticed() {
        if (!burstPending_) {
            burstPending_ = true;
            burstStart_ = GetTickCount64();
        }
    }
    void OutlookQuit() { outlookQuit_ = true; }
    IDispatch* Sink() { return &sink_; }

private:
    struct Subscription {
        ComPtr<IConnectionPoint> Point;
        DWORD Cookie = 0;
    };

    bool TakeChangedFolders();
    void Subscribe();
    HRESULT Advise(IDispatch* source, const IID& events);
    void Unsubscribe();
    void CheckOutlook(ULONGLONG now);
    void Lost();
    void WaitForWork(ULONGLONG now);

    std::shared_ptr<WatchShared> shared_;
    EventSink sink_{*this};
    std::optional<OutlookConnection> connection_;
    std::vector<Subscription> subscriptions_;
    std::vector<DispatchPtr> sources_;  // Outlook sends events only while their Items live
    std::vector<SelectedFolder> folders_;
    bool wantSubscription_ = false;
    bool failureLogged_ = false;
    bool outlookQuit_ = false;
    bool burstPending_ = false;
    ULONGLONG burstStart_ = 0;
    ULONGLONG nextAttempt_ = 0;
    ULONGLONG nextCheck_ = 0;
};

HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                            EXCEPINFO*, UINT*) {
    if (id == kItemAdd || id == kNewMailEx) {
        owner_.Noticed();
    } else if (id == kQuit) {
        owner_.OutlookQuit();
    }
    return S_OK;
}

bool WatchThread::TakeChangedFolders() {
    std::lock_guard lock(shared_->mutex);
    if (shared_->stopping) {
        return false;
    }
    if (std::exchange(shared_->foldersChanged, false)) {
        folders_ = shared_->folders;
        wantSubscription_ = true;
        nextAttempt_ = 0;
        failureLogged_ = false;
    }
    return true;
}

void WatchThread::Run() {
    while (TakeChangedFolders()) {
        ULONGLONG now = GetTickCount64();
        if (std::exchange(outlookQuit_, false)) {
            Lost();
        }
        if (wantSubscription_ && now >= nextAttempt_) {
            Subscribe();
        }
        now = GetTickCount64();
        if (!subscriptions_.empty() && now >= nextCheck_) {
            CheckOutlook(now);
        }
        if (burstPending_ && now - burstStart_ >= kBurstMs) {
            burstPending_ = false;
            shared_->Wake();
        }
        WaitForWork(GetTickCount64());
    }
    Unsubscribe();
    CoDisconnectObject(&sink_, 0);
}

void WatchThread::WaitForWork(ULONGLONG now) {
    ULONGLONG due = ~0ULL;
    if (burstPending_) {
        due = std::min(due, burstStart_ + kBurstMs);
    }
    if (wantSubscription_ && !folders_.empty()) {
        due = std::min(due, nextAttempt_);
    }
    if (!subscriptions_.empty()) {
        due = std::min(due, nextCheck_);
    }
    const DWORD timeout = due == ~0ULL ? INFINITE : static_cast<DWORD>(due > now ? due - now : 0);
    HANDLE signal = shared_->signal.get();
    MsgWaitForMultipleObjectsEx(1, &signal, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // Outlook's calls into the sink arrive as messages of this apartment.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

HRESULT WatchThread::Advise(IDispatch* source, const IID& events) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(container.put()));
    Subscription subscription;
    if (SUCCEEDED(hr)) {
        hr = container->FindConnectionPoint(events, subscription.Point.put());
    }
    if (SUCCEEDED(hr) && subscription.Point) {
        hr = subscription.Point->Advise(&sink_, &subscription.Cookie);
    }
    if (SUCCEEDED(hr) && subscription.Cookie != 0) {
        subscriptions_.push_back(std::move(subscription));
        return S_OK;
    }
    return FAILED(hr) ? hr : E_FAIL;
}

void WatchThread::Subscribe() {
    Unsubscribe();
    wantSubscription_ = false;
    if (folders_.empty()) {
        return;
    }
    std::wstring failure;
    connection_.emplace();
    if (!connection_->Connect()) {
        failure = L"Outlook could not be reached, " + HresultText(connection_->Error());
        connection_.reset();
    }
    for (std::size_t i = 0; connection_ && i < folders_.size(); ++i) {
        const SelectedFolder& folder = folders_[i];
        const UniqueVariant entry = UniqueVariant::String(folder.EntryId.c_str());
        const UniqueVariant store = UniqueVariant::String(folder.StoreId.c_str());
        UniqueVariant found;
        HRESULT hr =
            CallMethod(connection_->Namespace(), L"GetFolderFromID", {&entry, &store}, found);
        DispatchPtr items;
        if (SUCCEEDED(hr)) {
            DispatchPtr object = TakeObject(found);
            items = object ? GetObjectProperty(object.get(), L"Items") : DispatchPtr();
            hr = items ? Advise(items.get(), kItemsEvents) : DISP_E_MEMBERNOTFOUND;
        }
        if (FAILED(hr) && failure.empty()) {
            failure = L"folder " + folder.FolderPath + L", " + HresultText(hr);
        }
        if (SUCCEEDED(hr)) {
            sources_.push_back(std::move(items));
        }
    }
    // NewMailEx is a second notice where Outlook has it; its absence costs nothing.
    if (connection_) {
        (void)Advise(connection_->Application(), kApplicationEvents);
    }
    const ULONGLONG now = GetTickCount64();
    nextCheck_ = now + kHealthMs;
    if (failure.empty()) {
        failureLogged_ = false;
        shared_->Log(L"Outlook new-mail events are on for " + std::to_wstring(folders_.size()) +
                     L" folder(s); the regular checks go on as a backstop.");
        return;
    }
    wantSubscription_ = true;
    nextAttempt_ = now + shared_->retryMs;
    if (!std::exchange(failureLogged_, true)) {
        shared_->Log(L"Outlook new-mail events are unavailable (" + failure +
                     L"); new mail is still found by the regular checks.");
    }
}

void WatchThread::Unsubscribe() {
    for (Subscription& subscription : subscriptions_) {
        subscription.Point->Unadvise(subscription.Cookie);
    }
    subscriptions_.clear();
    sources_.clear();
    connection_.reset();
}

void WatchThread::CheckOutlook(ULONGLONG now) {
    nextCheck_ = now + kHealthMs;
    UniqueVariant name;
    if (OutlookIsGone(GetProperty(connection_->Application(), L"Name", name))) {
        Lost();
    }
}

void WatchThread::Lost() {
    if (subscriptions_.empty() && !connection_) {
        return;
    }
    Unsubscribe();
    wantSubscription_ = true;
    nextAttempt_ = GetTickCount64() + shared_->retryMs;
    failureLogged_ = true;
    shared_->Log(
        L"Outlook's new-mail events stopped (Outlook closed or went away); new mail is still "
        L"found by the regular checks, and the events resume when Outlook is back.");
}

class OutlookMailWatch final : public MailWatch {
public:
    explicit OutlookMailWatch(std::shared_ptr<WatchShared> shared)
        : shared_(std::move(shared)), thread_([shared = shared_] {
              if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
                  try {
                      WatchThread(shared).Run();
                  } catch (...) {
                      // The checks still find the mail; an escaped exception must not end the
                      // program.
                  }
                  CoUninitialize();
              }
              SetEvent(shared->exited.get());
          }) {}
    ~OutlookMailWatch() override {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->stopping = true;
        }
        SetEvent(shared_->signal.get());
        if (WaitForSingleObject(shared_->exited.get(), kStopWaitMs) == WAIT_OBJECT_0) {
            thread_.join();
        } else {
            thread_.detach();  // held by Outlook; it ends when Outlook lets go
        }
    }
    OutlookMailWatch(const OutlookMailWatch&) = delete;
    OutlookMailWatch& operator=(const OutlookMailWatch&) = delete;

    void Watch(const std::vector<SelectedFolder>& folders) override {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->folders = folders;
            shared_->foldersChanged = true;
        }
        SetEvent(shared_->signal.get());
    }

private:
    std::shared_ptr<WatchShared> shared_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<MailWatch> StartOutlookMailWatch(std::function<void()> wake,
                                                 std::function<void(const std::wstring&)> log,
                                                 std::chrono::milliseconds retry) {
    auto shared = std::make_shared<WatchShared>();
    shared->wake = std::move(wake);
    shared->log = std::move(log);
    shared->retryMs = static_cast<ULONGLONG>(std::max<std::int64_t>(0, retry.count()));
    return std::make_unique<OutlookMailWatch>(std::move(shared));
}

}  // namespace wrenpost
