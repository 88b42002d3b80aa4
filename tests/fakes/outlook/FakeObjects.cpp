// The fake Outlook's object model.
#include "fakes/outlook/FakeObjects.h"

#include <algorithm>
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
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ++State().Calls;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            const auto found = Members.find(LowerCaseWide(names[i]));
            // Named arguments are not supported.
            if (i > 0 || found == Members.end()) {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            } else {
                ids[i] = static_cast<DISPID>(std::distance(Members.begin(), found)) + 1;
            }
        }
        return hr;
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
HRESULT ReturnInt(VARIANT* result, std::size_t value) {
    result->vt = VT_I4;
    result->lVal = static_cast<LONG>(value);
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
LONG IntArgument(DISPPARAMS* params, UINT position, LONG fallback) {
    VARIANT value;
    return Argument(params, position, VT_I4, value) ? value.lVal : fallback;
}

// Count and Item(1-based) over a list of children.
template <typename Make>
void AddCollection(Object& object, std::shared_ptr<std::vector<std::size_t>> list, Make make) {
    object.Members[L"count"] = [list](DISPPARAMS*, VARIANT* r) {
        return ReturnInt(r, list->size());
    };
    object.Members[L"item"] = [list, make](DISPPARAMS* params, VARIANT* r) {
        const LONG index = IntArgument(params, 0, 0);
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
    if (!item.NoAccessor) {
        object->Members[L"propertyaccessor"] = [scenario, index](DISPPARAMS*, VARIANT* r) {
            auto* accessor = new Object;
            accessor->Members[L"getproperty"] = [scenario, index](DISPPARAMS* params, VARIANT* r) {
                const std::wstring prefix = L"http://schemas.microsoft.com/mapi/proptag/";
                std::wstring property;
                if (!StringArgument(params, 0, property)) {
                    return DISP_E_BADPARAMCOUNT;
                }
                property = LowerCaseWide(property);
                const auto& mapi = scenario->Items[index].Mapi;
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
    }
    return object;
}

IDispatch* MakeItems(const ScenarioPtr& scenario, const Folder& folder) {
    auto* object = new Object;
    auto order = std::make_shared<std::vector<std::size_t>>(folder.Items);
    AddCollection(*object, order, [scenario](std::size_t i) { return MakeItem(scenario, i); });
    object->Members[L"sort"] = [scenario, order, noSort = folder.NoSort](DISPPARAMS* params,
                                                                         VARIANT*) {
        std::wstring key;
        if (noSort || !StringArgument(params, 0, key) || LowerCaseWide(key) != L"[receivedtime]") {
            return DISP_E_EXCEPTION;
        }
        const bool descending = IntArgument(params, 1, 0) != 0;
        const auto received = [&](std::size_t item, double& date) {
            const auto& members = scenario->Items[item].Members;
            const auto found = members.find(L"receivedtime");
            VARIANT value;
            VariantInit(&value);
            if (found != members.end()) {
                ToVariant(found->second, value);
            }
            date = value.date;
            const bool dated = value.vt == VT_DATE;
            VariantClear(&value);
            return dated;
        };
        // Items without a date go last either way, as undated items do in Outlook's views.
        std::stable_sort(order->begin(), order->end(), [&](std::size_t a, std::size_t b) {
            double da = 0, db = 0;
            const bool ha = received(a, da), hb = received(b, db);
            return ha != hb ? ha : ha && (descending ? da > db : da < db);
        });
        return S_OK;
    };
    return object;
}

IDispatch* MakeFolders(const ScenarioPtr& scenario, const std::vector<std::size_t>& folders);

IDispatch* MakeFolder(const ScenarioPtr& scenario, std::size_t index) {
    auto* object = new Object;
    const Folder& folder = scenario->Folders[index];
    const Store store = scenario->Stores[folder.StoreIndex];
    const auto text = [&folder](const std::wstring& value) -> Member {
        return [value, unreadable = folder.Unreadable](DISPPARAMS*, VARIANT* r) {
            return unreadable ? DISP_E_EXCEPTION : ReturnString(r, value);
        };
    };
    object->Members[L"name"] = text(folder.Name);
    object->Members[L"folderpath"] = text(folder.FolderPath);
    object->Members[L"entryid"] = text(folder.Id);
    object->Members[L"storeid"] = text(store.Id);
    object->Members[L"store"] = [store, unreadable = folder.Unreadable](DISPPARAMS*, VARIANT* r) {
        if (unreadable || store.NoStore) {
            return DISP_E_EXCEPTION;
        }
        auto* storeObject = new Object;
        storeObject->Members[L"storeid"] = [store](DISPPARAMS*, VARIANT* r) {
            return ReturnString(r, store.Id);
        };
        storeObject->Members[L"displayname"] = [store](DISPPARAMS*, VARIANT* r) {
            return store.NoDisplayName ? DISP_E_EXCEPTION : ReturnString(r, store.Name);
        };
        return ReturnObject(r, storeObject);
    };
    object->Members[L"items"] = [scenario, index](DISPPARAMS*, VARIANT* r) {
        return ReturnObject(r, MakeItems(scenario, scenario->Folders[index]));
    };
    object->Members[L"folders"] = [scenario, index](DISPPARAMS*, VARIANT* r) {
        return ReturnObject(r, MakeFolders(scenario, scenario->Folders[index].Children));
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
            if (folder.Id == entryId && scenario->Stores[folder.StoreIndex].Id == storeId) {
                return folder.Unopenable ? DISP_E_EXCEPTION
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
    if (!GetFileAttributesExW(ScenarioPath.c_str(), GetFileExInfoStandard, &data)) {
        return;
    }
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::wstring text;
    if ((CompareFileTime(&data.ftLastWriteTime, &LastWrite) == 0 && size == LastSize) ||
        !ReadTextFile(ScenarioPath, text)) {
        return;
    }
    LastWrite = data.ftLastWriteTime;
    LastSize = size;
    Current = std::make_shared<Scenario>(ParseScenario(text));
}

IDispatch* CreateApplication() {
    auto* object = new Object;
    object->Members[L"callcount"] = [](DISPPARAMS*, VARIANT* r) {
        return ReturnInt(r, static_cast<std::size_t>(State().Calls.load()));
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
