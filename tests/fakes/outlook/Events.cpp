// The fake's connection points and the calls it makes to its subscribers.
#include <algorithm>
#include <atomic>
#include <iterator>
#include <utility>
#include <vector>

#include "fakes/outlook/FakeObjects.h"

namespace wrenpost::fake_outlook {
namespace {

std::vector<Subscription>::iterator Find(DWORD cookie) {
    std::vector<Subscription>& sinks = State().Sinks;
    return std::find_if(sinks.begin(), sinks.end(),
                        [&](const Subscription& s) { return s.Cookie == cookie; });
}

void Remove(std::vector<Subscription>::iterator found) {
    // Releasing a proxy may let calls in, so the registry is consistent before it happens.
    const DispatchPtr gone = std::move(found->Sink);
    State().Sinks.erase(found);
}

// Answers from a client that has left, not from a sink that failed its own work (wine answers
// RPC_S_UNKNOWN_IF once the client's apartment is gone).
bool ClientGone(HRESULT hr) {
    constexpr HRESULT kGone[] = {RPC_E_DISCONNECTED,
                                 RPC_E_SERVER_DIED,
                                 RPC_E_SERVER_DIED_DNE,
                                 RPC_E_INVALID_OBJECT,
                                 CO_E_OBJNOTCONNECTED,
                                 HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
                                 HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
                                 HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF)};
    return std::find(std::begin(kGone), std::end(kGone), hr) != std::end(kGone);
}

class ConnectionPoint final : public Counted<IConnectionPoint> {
public:
    ConnectionPoint(IConnectionPointContainer* container, const IID& events, std::wstring folder)
        : container_(container), events_(events), folder_(std::move(folder)) {
        container->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint);
        *out = known ? this : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = events_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** out) override {
        container_->AddRef();
        *out = container_.get();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink == nullptr || cookie == nullptr) {
            return E_POINTER;
        }
        *cookie = 0;
        ServerState& state = State();
        state.HangIfAsked(L"advise");
        if (state.Current->Events.count(L"refuse") != 0) {
            return CONNECT_E_ADVISELIMIT;
        }
        DispatchPtr target;
        if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(target.put())))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = ++state.LastCookie;
        state.Sinks.push_back({*cookie, events_, folder_, std::move(target)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        const auto found = Find(cookie);
        if (found == State().Sinks.end() || !IsEqualIID(found->Events, events_) ||
            found->Folder != folder_) {
            return CONNECT_E_NOCONNECTION;
        }
        Remove(found);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    ComPtr<IConnectionPointContainer> container_;
    IID events_;
    std::wstring folder_;
};

}  // namespace

IConnectionPoint* CreateConnectionPoint(IConnectionPointContainer* container, const IID& events,
                                        std::wstring folder) {
    return new ConnectionPoint(container, events, std::move(folder));
}

void Notify(const IID& events, const std::wstring& folder, DISPID id, VARIANT* argument) {
    // The registry may change while a call is out; the calls go to a copy, skipping a sink
    // unadvised meanwhile.
    std::vector<std::pair<DWORD, DispatchPtr>> targets;
    for (const Subscription& s : State().Sinks) {
        if (IsEqualIID(s.Events, events) && s.Folder == folder) {
            s.Sink->AddRef();
            targets.emplace_back(s.Cookie, DispatchPtr(s.Sink.get()));
        }
    }
    for (auto& [cookie, sink] : targets) {
        if (Find(cookie) == State().Sinks.end()) {
            continue;
        }
        DISPPARAMS params{argument, nullptr, argument != nullptr ? 1u : 0u, 0};
        const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                        nullptr, nullptr, nullptr);
        const auto found = Find(cookie);
        if (ClientGone(hr) && found != State().Sinks.end()) {
            Remove(found);
        }
    }
}

void ReleaseSinks() {
    const std::vector<Subscription> gone = std::move(State().Sinks);
    State().Sinks.clear();
}

}  // namespace wrenpost::fake_outlook
