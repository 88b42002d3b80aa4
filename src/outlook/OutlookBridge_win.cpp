// The late-bound calls into Outlook and the connection to it.
#include "outlook/OutlookBridge_win.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace wrenpost {
namespace {

HRESULT Resolve(IDispatch* object, const wchar_t* name, DISPID& id) {
    if (object == nullptr) {
        return E_POINTER;
    }
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

// The DISPID cache of the thread's live connection; null while none is connected.
thread_local std::map<std::wstring, DISPID>* tDispids = nullptr;
std::atomic<bool> gDispidCacheOn{true};

HRESULT InvokeId(IDispatch* object, DISPID id, WORD flags,
                 std::initializer_list<const UniqueVariant*> arguments, UniqueVariant& result) {
    // IDispatch wants positional arguments last-first. The callee only reads them, and the
    // owners keep clearing them, so shallow copies are enough.
    std::vector<VARIANTARG> reversed(arguments.size());
    std::size_t slot = arguments.size();
    for (const UniqueVariant* argument : arguments) {
        reversed[--slot] = argument->get();
    }
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      result.put(), &exception, &argumentError);
    // A server that raised an exception hands over strings we own; nothing reads them.
    const UniqueBstr source(exception.bstrSource);
    const UniqueBstr description(exception.bstrDescription);
    const UniqueBstr helpFile(exception.bstrHelpFile);
    if (FAILED(hr)) {
        result.put();
    }
    // The object model guard raises its refusal as an exception carrying E_ACCESSDENIED.
    if (hr == DISP_E_EXCEPTION && exception.scode == E_ACCESSDENIED) {
        return E_ACCESSDENIED;
    }
    return hr;
}

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags,
               std::initializer_list<const UniqueVariant*> arguments, UniqueVariant& result,
               const wchar_t* kind) {
    if (object == nullptr) {
        return E_POINTER;
    }
    std::map<std::wstring, DISPID>* const cache =
        kind && gDispidCacheOn.load() ? tDispids : nullptr;
    const std::wstring key = cache ? std::wstring(kind) + L"." + name : std::wstring();
    if (cache) {
        if (const auto known = cache->find(key); known != cache->end()) {
            const HRESULT hr = InvokeId(object, known->second, flags, arguments, result);
            // An object of the same kind that lacks the member (another item class) is asked
            // by name below.
            if (hr != DISP_E_MEMBERNOTFOUND) {
                return hr;
            }
            cache->erase(known);
        }
    }
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = Resolve(object, name, id);
    if (FAILED(hr)) {
        return hr;
    }
    if (cache) {
        (*cache)[key] = id;
    }
    return InvokeId(object, id, flags, arguments, result);
}

}  // namespace

UniqueVariant UniqueVariant::String(const wchar_t* text) {
    UniqueVariant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = SysAllocString(text);
    return v;
}

UniqueVariant UniqueVariant::Int32(LONG value) {
    UniqueVariant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
}

UniqueVariant UniqueVariant::Bool(bool value) {
    UniqueVariant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

HRESULT GetProperty(IDispatch* object, const wchar_t* name, UniqueVariant& result,
                    const wchar_t* kind) {
    return Invoke(object, name, DISPATCH_PROPERTYGET, {}, result, kind);
}

HRESULT CallMethod(IDispatch* object, const wchar_t* name,
                   std::initializer_list<const UniqueVariant*> arguments, UniqueVariant& result,
                   const wchar_t* kind) {
    return Invoke(object, name, DISPATCH_METHOD, arguments, result, kind);
}

HRESULT GetItem(IDispatch* collection, LONG index, UniqueVariant& result, const wchar_t* kind) {
    const UniqueVariant argument = UniqueVariant::Int32(index);
    return Invoke(collection, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&argument}, result,
                  kind);
}

DispatchPtr TakeObject(UniqueVariant& value) {
    if (value.type() != VT_DISPATCH || value.get().pdispVal == nullptr) {
        return DispatchPtr();
    }
    DispatchPtr object(value.raw()->pdispVal);
    value.raw()->pdispVal = nullptr;
    value.raw()->vt = VT_EMPTY;
    return object;
}

std::wstring GetStringProperty(IDispatch* object, const wchar_t* name, const wchar_t* kind) {
    UniqueVariant value;
    if (FAILED(GetProperty(object, name, value, kind)) || value.type() != VT_BSTR ||
        value.get().bstrVal == nullptr) {
        return std::wstring();
    }
    // SysStringLen keeps embedded NULs and needs no terminator.
    return std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
}

DispatchPtr GetObjectProperty(IDispatch* object, const wchar_t* name, const wchar_t* kind) {
    UniqueVariant value;
    if (FAILED(GetProperty(object, name, value, kind))) {
        return DispatchPtr();
    }
    return TakeObject(value);
}

DispatchPtr GetItemObject(IDispatch* collection, LONG index, const wchar_t* kind) {
    UniqueVariant value;
    if (FAILED(GetItem(collection, index, value, kind))) {
        return DispatchPtr();
    }
    return TakeObject(value);
}

LONG GetCountProperty(IDispatch* object, const wchar_t* name, const wchar_t* kind) {
    UniqueVariant value;
    if (FAILED(GetProperty(object, name, value, kind))) {
        return 0;
    }
    if (value.type() == VT_I4) {
        return value.get().lVal;
    }
    if (value.type() == VT_INT) {
        return value.get().intVal;
    }
    return 0;
}

bool OutlookIsGone(HRESULT hr) {
    return hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE ||
           hr == CO_E_OBJNOTCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

OutlookConnection::~OutlookConnection() {
    Disconnect();
}

void OutlookConnection::Disconnect() {
    // DISPIDs hold only for the Outlook they came from.
    if (tDispids == &dispids_) {
        tDispids = nullptr;
    }
    dispids_.clear();
    namespace_.reset();
    application_.reset();
    if (comInitialized_) {
        comInitialized_ = false;
        CoUninitialize();
    }
}

void UseDispidCache(bool on) {
    gDispidCacheOn.store(on);
}

bool OutlookConnection::Connect() {
    Disconnect();
    error_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialized_ = SUCCEEDED(error_);
    CLSID clsid{};
    error_ = CLSIDFromProgID(L"Outlook.Application", &clsid);
    if (FAILED(error_)) {
        Disconnect();
        return false;
    }
    ComPtr<IUnknown> unknown;
    error_ = GetActiveObject(clsid, nullptr, unknown.put());
    if (FAILED(error_) || !unknown) {
        error_ = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.put()));
        if (FAILED(error_) || !unknown) {
            Disconnect();
            return false;
        }
    }
    error_ = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(application_.put()));
    unknown.reset();
    if (FAILED(error_) || !application_) {
        Disconnect();
        return false;
    }
    const UniqueVariant mapi = UniqueVariant::String(L"MAPI");
    UniqueVariant result;
    error_ = CallMethod(application_.get(), L"GetNamespace", {&mapi}, result);
    if (SUCCEEDED(error_)) {
        namespace_ = TakeObject(result);
    }
    if (!namespace_) {
        if (SUCCEEDED(error_)) {
            error_ = DISP_E_TYPEMISMATCH;
        }
        Disconnect();
        return false;
    }
    tDispids = &dispids_;
    return true;
}

}  // namespace wrenpost
