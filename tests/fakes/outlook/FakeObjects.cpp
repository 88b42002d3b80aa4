// The fake Outlook's object model.
#include "fakes/outlook/FakeObjects.h"

#include <algorithm>
#include <cwctype>
#include <functional>
#include <map>
#include <vector>

#include "common/TextFile.h"
#include "outlook/FolderExclusion.h"

namespace wrenpost::fake_outlook {
namespace {

using ScenarioPtr = std::shared_ptr<const Scenario>;
using Member = std::function<HRESULT(DISPPARAMS* params, VARIANT* result)>;

class Object final : public IDispatch {
public:
    // By lower-case name; the DISPID is the position in this (never changed) map plus one.
    std::map<std::wstring, Member> Members;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch);
        *out = known ? this : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;  // COM reference counting owns the object
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    // One name per call, as the program asks (no named arguments).
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ++State().Calls;
        const auto found = Members.find(LowerCaseWide(names[0]));
        const bool known = count == 1 && found != Members.end();
        ids[0] =
            known ? static_cast<DISPID>(std::distance(Members.begin(), found)) + 1 : DISPID_UNKNOWN;
        return known ? S_OK : DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        ++State().Calls;
        if (id < 1 || static_cast<std::size_t>(id) > Members.size()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const auto member = std::next(Members.begin(), id - 1);
        if (State().Current->HangMember == member->first) {
            SetEvent(State().Hanging);
            // Bounded, so a forgotten release cannot keep the fake alive forever.
            WaitForSingleObject(State().Release, 120000);
        }
        VARIANT scratch;
        VariantInit(&scratch);
        const HRESULT hr = member->second(params, result != nullptr ? result : &scratch);
        VariantClear(&scratch);
        if (hr == DISP_E_EXCEPTION && exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->scode = E_FAIL;
        }
        return hr;
    }

private:
    std::atomic<ULONG> refs_{1};
};

HRESULT ReturnString(VARIANT* result, const std::wstring& text) {
    ToVariant(Value{L"str:" + text, VT_BSTR}, *result);
    return S_OK;
}
HRESULT ReturnObject(VARIANT* result, IDispatch* object) {
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    return S_OK;
}

// Positional argument in natural order (IDispatch stores them last-first), converted.
bool Argument(DISPPARAMS* params, UINT position, VARTYPE type, VARIANT& out) {
    VariantInit(&out);
    return params != nullptr && position < params->cArgs &&
           SUCCEEDED(
               VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - position], 0, type));
}
bool StringArgument(DISPPARAMS* params, UINT position, std::wstring& text) {
    VARIANT value;
    if (!Argument(params, position, VT_BSTR, value)) {
        return false;
    }
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return true;
}
LONG IntArgument(DISPPARAMS* params, UINT position) {
    VARIANT value;
    return Argument(params, position, VT_I4, value) ? value.lVal : 0;
}

// Count and Item(1-based) over a list of children.
template <typename Make>
void AddCollection(Object& object, std::shared_ptr<std::vector<std::size_t>> list, Make make) {
    object.Members[L"count"] = [list](DISPPARAMS*, VARIANT* r) {
        r->vt = VT_I4;
        r->lVal = static_cast<LONG>(list->size());
        return S_OK;
    };
    object.Members[L"item"] = [list, make](DISPPARAMS* params, VARIANT* r) {
        const LONG index = IntArgument(params, 0);
        if (index < 1 || static_cast<std::size_t>(index) > list->size()) {
            return DISP_E_BADINDEX;
        }
        return ReturnObject(r, make((*list)[index - 1]));
    };
}

IDispatch* MakeItem(const ScenarioPtr& scenario, std::size_t index) {
    auto* object = new Object;
    const Item& item = scenario->Items[index];
    for (const auto& [name, value] : item.Members) {
        object->Members[name] = [value](DISPPARAMS*, VARIANT* r) {
            ToVariant(value, *r);
            return S_OK;
        };
    }
    if (item.NoAccessor) {
        return object;
    }
    object->Members[L"propertyaccessor"] = [&mapi = item.Mapi, scenario](DISPPARAMS*, VARIANT* r) {
        auto* accessor = new Object;
        accessor->Members[L"getproperty"] = [&mapi, scenario](DISPPARAMS* params, VARIANT* r) {
            const std::wstring prefix = L"http://schemas.microsoft.com/mapi/proptag/";
            std::wstring property;
            if (!StringArgument(params, 0, property)) {
                return DISP_E_BADPARAMCOUNT;
            }
            property = LowerCaseWide(property);
            const auto found = property.rfind(prefix, 0) == 0
                                   ? mapi.find(property.substr(prefix.size()))
                                   : mapi.end();
            // Outlook raises an error for a property the message does not have.
            if (found == mapi.end()) {
                return DISP_E_EXCEPTION;
            }
            ToVariant(found->second, *r);
            return S_OK;
        };
        return ReturnObject(r, accessor);
    };
    return object;
}

IDispatch* MakeItems(const ScenarioPtr& scenario, const Folder& folder) {
    auto* object = new Object;
    auto order = std::make_shared<std::vector<std::size_t>>(folder.Items);
    AddCollection(*object, order, [scenario](std::size_t i) { return MakeItem(scenario, i); });
    object->Members[L"sort"] = [scenario, order, noSort = folder.Flags.count(L"nosort") != 0](
                                   DISPPARAMS* params, VARIANT*) {
        std::wstring key;
        if (noSort || !StringArgument(params, 0, key) || LowerCaseWide(key) != L"[receivedtime]") {
            return DISP_E_EXCEPTION;
        }
        // Dates are written so that their texts sort like them; an undated item sorts as the
        // oldest, as undated items do in Outlook's views.
        const auto received = [&](std::size_t item) {
            const auto& members = scenario->Items[item].Members;
            const auto found = members.find(L"receivedtime");
            return found != members.end() && std::iswdigit(found->second.Text[0])
                       ? found->second.Text
                       : std::wstring();
        };
        const bool descending = IntArgument(params, 1) != 0;
        std::stable_sort(order->begin(), order->end(), [&](std::size_t a, std::size_t b) {
            return descending ? received(a) > received(b) : received(a) < received(b);
        });
        return S_OK;
    };
    return object;
}

IDispatch* MakeFolders(const ScenarioPtr& scenario, const std::vector<std::size_t>& folders);

IDispatch* MakeFolder(const ScenarioPtr& scenario, std::size_t index) {
    auto* object = new Object;
    const Folder& folder = scenario->Folders[index];
    const Fields& store = scenario->Stores[folder.Store];
    const bool unreadable = folder.Flags.count(L"unreadable") != 0;
    const auto text = [unreadable](const std::wstring& value) -> Member {
        return [value, unreadable](DISPPARAMS*, VARIANT* r) {
            return unreadable ? DISP_E_EXCEPTION : ReturnString(r, value);
        };
    };
    object->Members[L"name"] = text(folder.Name);
    object->Members[L"folderpath"] = text(folder.FolderPath);
    object->Members[L"entryid"] = text(folder.Id);
    object->Members[L"storeid"] = text(store.at(L"id"));
    object->Members[L"store"] = [&store, scenario, unreadable](DISPPARAMS*, VARIANT* r) {
        if (unreadable || store.count(L"nostore") != 0) {
            return DISP_E_EXCEPTION;
        }
        auto* storeObject = new Object;
        storeObject->Members[L"displayname"] = [&store, scenario](DISPPARAMS*, VARIANT* r) {
            return store.count(L"nodisplayname") != 0 ? DISP_E_EXCEPTION
                                                      : ReturnString(r, store.at(L"name"));
        };
        return ReturnObject(r, storeObject);
    };
    object->Members[L"items"] = [scenario, &folder](DISPPARAMS*, VARIANT* r) {
        return ReturnObject(r, MakeItems(scenario, folder));
    };
    object->Members[L"folders"] = [scenario, &folder](DISPPARAMS*, VARIANT* r) {
        return ReturnObject(r, MakeFolders(scenario, folder.Children));
    };
    return object;
}

IDispatch* MakeFolders(const ScenarioPtr& scenario, const std::vector<std::size_t>& folders) {
    auto* object = new Object;
    AddCollection(*object, std::make_shared<std::vector<std::size_t>>(folders),
                  [scenario](std::size_t f) { return MakeFolder(scenario, f); });
    return object;
}

IDispatch* MakeNamespace() {
    auto* object = new Object;
    object->Members[L"folders"] = [](DISPPARAMS*, VARIANT* r) {
        State().Refresh();
        return ReturnObject(r, MakeFolders(State().Current, State().Current->Roots));
    };
    object->Members[L"getfolderfromid"] = [](DISPPARAMS* params, VARIANT* r) {
        State().Refresh();
        const ScenarioPtr scenario = State().Current;
        std::wstring entryId, storeId;
        if (!StringArgument(params, 0, entryId) || !StringArgument(params, 1, storeId)) {
            return DISP_E_BADPARAMCOUNT;
        }
        for (std::size_t f = 0; f < scenario->Folders.size(); ++f) {
            const Folder& folder = scenario->Folders[f];
            if (folder.Id == entryId && scenario->Stores[folder.Store].at(L"id") == storeId) {
                return folder.Flags.count(L"unopenable") != 0
                           ? DISP_E_EXCEPTION
                           : ReturnObject(r, MakeFolder(scenario, f));
            }
        }
        return DISP_E_EXCEPTION;
    };
    return object;
}

}  // namespace

ServerState& State() {
    static ServerState state;
    return state;
}

void ServerState::Refresh() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    std::wstring text;
    if (!GetFileAttributesExW(ScenarioPath.c_str(), GetFileExInfoStandard, &data) ||
        (CompareFileTime(&data.ftLastWriteTime, &LastWrite) == 0 &&
         data.nFileSizeLow == LastSize) ||
        !ReadTextFile(ScenarioPath, text)) {
        return;
    }
    LastWrite = data.ftLastWriteTime;
    LastSize = data.nFileSizeLow;
    Current = std::make_shared<Scenario>(ParseScenario(text));
}

IDispatch* CreateApplication() {
    auto* object = new Object;
    object->Members[L"callcount"] = [](DISPPARAMS*, VARIANT* r) {
        r->vt = VT_I4;
        r->lVal = State().Calls.load();
        return S_OK;
    };
    object->Members[L"getnamespace"] = [](DISPPARAMS* params, VARIANT* r) {
        std::wstring kind;
        if (!StringArgument(params, 0, kind) || kind != L"MAPI") {
            return DISP_E_EXCEPTION;
        }
        State().Refresh();
        return ReturnObject(r, MakeNamespace());
    };
    return object;
}

}  // namespace wrenpost::fake_outlook
