// The fake Outlook's new-mail events as Outlook raises them: ItemAdd for each item of a small
// delivery, none for a large one, and NewMailEx for every delivery.
#include <gtest/gtest.h>
#include <windows.h>
// The headers below need windows.h first.
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <thread>

#include "OutlookTestSupport.h"
#include "common/UniqueHandle_win.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

// Outlook's event interfaces (ItemsEvents, ApplicationEvents_11) and the members counted.
constexpr IID kItemsEvents = {0x00063077, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kApplicationEvents = {0x0006302C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr DISPID kItemAdd = 0xF001;
constexpr DISPID kNewMailEx = 0xFAB5;

// Lives on the listening thread's stack and is disconnected before that thread leaves COM.
class CountingSink final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                           IsEqualIID(riid, kItemsEvents) || IsEqualIID(riid, kApplicationEvents);
        *out = known ? static_cast<IDispatch*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        ++(id == kItemAdd ? ItemAdds : id == kNewMailEx ? NewMail : Other);
        return S_OK;
    }

    std::atomic<int> ItemAdds{0}, NewMail{0}, Other{0};
};

// Subscribes to the Inbox's ItemAdd and the application's NewMailEx on a thread of its own,
// which pumps messages (the calls arrive as such) until the listener is destroyed.
class Listener {
public:
    Listener() : thread_([this] { Run(); }) {
        HANDLE either[2] = {ready_.get(), stop_.get()};
        subscribed_ = WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~Listener() {
        SetEvent(stop_.get());
        thread_.join();
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Subscribed() const { return subscribed_; }
    CountingSink& Sink() { return sink_; }

private:
    struct Subscription {
        ComPtr<IConnectionPoint> Point;
        DWORD Cookie = 0;
    };

    bool Advise(IDispatch* source, const IID& events) {
        ComPtr<IConnectionPointContainer> container;
        Subscription subscription;
        if (source == nullptr ||
            FAILED(source->QueryInterface(IID_IConnectionPointContainer,
                                          reinterpret_cast<void**>(container.put()))) ||
            FAILED(container->FindConnectionPoint(events, subscription.Point.put())) ||
            FAILED(subscription.Point->Advise(&sink_, &subscription.Cookie))) {
            return false;
        }
        subscriptions_.push_back(std::move(subscription));
        return true;
    }

    void Run() {
        OutlookConnection connection;
        if (connection.Connect()) {
            const UniqueVariant entry = UniqueVariant::String(L"F1");
            const UniqueVariant store = UniqueVariant::String(L"S1");
            UniqueVariant found;
            DispatchPtr items;
            if (SUCCEEDED(CallMethod(connection.Namespace(), L"GetFolderFromID", {&entry, &store},
                                     found))) {
                const DispatchPtr folder = TakeObject(found);
                items = GetObjectProperty(folder.get(), L"Items");
            }
            if (Advise(items.get(), kItemsEvents) &&
                Advise(connection.Application(), kApplicationEvents)) {
                SetEvent(ready_.get());
            }
            HANDLE stop = stop_.get();
            while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) !=
                   WAIT_OBJECT_0) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageW(&msg);
                }
            }
            for (Subscription& subscription : subscriptions_) {
                subscription.Point->Unadvise(subscription.Cookie);
            }
            subscriptions_.clear();
        }
        CoDisconnectObject(&sink_, 0);
    }

    CountingSink sink_;
    std::vector<Subscription> subscriptions_;
    UniqueHandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    bool subscribed_ = false;
    std::thread thread_;  // last: it starts once everything above is in place
};

TEST(OutlookEvents, ItemAddIsRaisedForASmallDeliveryOnlyAndNewMailExForEvery) {
    const struct {
        const char* name;
        std::wstring events;  // the scenario's "events" line, if any
        int items;
        int itemAdds;
    } cases[] = {
        {"three", L"", 3, 3},
        {"sixteen", L"", 16, 16},
        {"seventeen", L"", 17, 0},
        {"twenty", L"", 20, 0},
        {"three over a limit of two", ScenarioLine({L"events", L"itemaddlimit=2"}), 3, 0},
    };
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    const std::wstring mailbox = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                                 ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
                                 ScenarioLine({L"store", L"id=S2", L"name=Bob"}) +
                                 ScenarioLine({L"folder", L"store=S2", L"path=Other", L"id=F2"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(fake.WriteScenario(mailbox + c.events));
        Listener listener;
        ASSERT_TRUE(listener.Subscribed());
        // A mail reaching another folder at the same look is not part of the Inbox's batch.
        std::wstring delivery = ScenarioLine({L"item", L"folder=F2", L"id=O1", L"subject=o"});
        for (int i = 0; i < c.items; ++i) {
            delivery += ScenarioLine({L"item", L"folder=F1",
                                      L"id=" + std::to_wstring(c.items) + L"." + std::to_wstring(i),
                                      L"subject=s"});
        }
        ASSERT_TRUE(fake.WriteScenario(mailbox + c.events + delivery));
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (listener.Sink().NewMail == 0 && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        // The fake raises the ItemAdds of a delivery before its NewMailEx.
        EXPECT_EQ(listener.Sink().NewMail, 1);
        EXPECT_EQ(listener.Sink().ItemAdds, c.itemAdds);
    }
}

}  // namespace
}  // namespace wrenpost
