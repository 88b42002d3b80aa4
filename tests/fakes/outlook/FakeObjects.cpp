// The fake Outlook's object model.
#include "fakes/outlook/FakeObjects.h"

#include <algorithm>
#include <vector>

#include "common/Text.h"
#include "common/TextFile.h"
#include "outlook/FolderExclusion.h"

namespace wrenpost::fake_outlook {
namespace {

using ScenarioPtr = std::shared_ptr<const Scenario>;

class DispatchObject : public IDispatch {
public:
    virtual ~DispatchObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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
            const std::wstring name = LowerCaseWide(names[i]);
            if (i > 0 || !HasMember(name)) {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            auto found = std::find(names_.begin(), names_.end(), name);
            if (found == names_.end()) {
                found = names_.insert(names_.end(), name);
            }
            ids[i] = static_cast<DISPID>(found - names_.begin()) + 1;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        ++State().Calls;
        if (id < 1 || static_cast<std::size_t>(id) > names_.size()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const std::wstring name = names_[id - 1];
        if (!State().Current->HangMember.empty() && State().Current->HangMember == name) {
            SetEvent(State().Hanging);
            // Bounded, so a forgotten release cannot keep the fake alive forever.
            WaitForSingleObject(State().Release, 120000);
        }
        VARIANT scratch;
        VariantInit(&scratch);
        const HRESULT hr = Call(name, flags, params, result != nullptr ? result : &scratch);
        VariantClear(&scratch);
        if (hr == DISP_E_EXCEPTION && exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->scode = E_FAIL;
        }
        return hr;
    }

protected:
    virtual bool HasMember(const std::wstring& name) const = 0;
    virtual HRESULT Call(const std::wstring& name, WORD flags, DISPPARAMS* params,
                         VARIANT* result) = 0;

    // Positional argument in natural order (IDispatch stores them last-first).
    static bool StringArgument(DISPPARAMS* params, UINT position, std::wstring& text) {
        if (params == nullptr || position >= params->cArgs) {
            return false;
        }
        VARIANT copy;
        VariantInit(&copy);
        if (FAILED(VariantChangeType(&copy, &params->rgvarg[params->cArgs - 1 - position], 0,
                                     VT_BSTR))) {
            return false;
        }
        text.assign(copy.bstrVal, SysStringLen(copy.bstrVal));
        VariantClear(&copy);
        return true;
    }
    static bool IntArgument(DISPPARAMS* params, UINT position, LONG& value) {
        if (params == nullptr || position >= params->cArgs) {
            return false;
        }
        VARIANT copy;
        VariantInit(&copy);
        if (FAILED(VariantChangeType(&copy, &params->rgvarg[params->cArgs - 1 - position], 0,
                                     VT_I4))) {
            return false;
        }
        value = copy.lVal;
        return true;
    }

    static HRESULT ReturnString(VARIANT* result, const std::wstring& text) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
    static HRESULT ReturnObject(VARIANT* result, IDispatch* created) {
        result->vt = VT_DISPATCH;
        result->pdispVal = created;
        return S_OK;
    }
    static HRESULT ReturnInt(VARIANT* result, LONG value) {
        result->vt = VT_I4;
        result->lVal = value;
        return S_OK;
    }
    static HRESULT ReturnValue(VARIANT* result, const Value& value) {
        switch (value.Type) {
            case VT_BSTR:
                return ReturnString(result, value.Text);
            case VT_DATE:
                result->vt = VT_DATE;
                result->date = value.Date;
                return S_OK;
            case VT_I4:
                return ReturnInt(result, value.Number);
            case VT_BOOL:
                result->vt = VT_BOOL;
                result->boolVal = value.Flag ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            default:
                result->vt = VT_EMPTY;
                return S_OK;
        }
    }

private:
    std::atomic<ULONG> refs_{1};
    std::vector<std::wstring> names_;
};

template <std::size_t N>
bool OneOf(const std::wstring& name, const wchar_t* const (&names)[N]) {
    for (const wchar_t* candidate : names) {
        if (name == candidate) {
            return true;
        }
    }
    return false;
}

class PropertyAccessorObject : public DispatchObject {
public:
    PropertyAccessorObject(ScenarioPtr scenario, std::size_t item)
        : scenario_(std::move(scenario)), item_(item) {}

protected:
    bool HasMember(const std::wstring& name) const override { return name == L"getproperty"; }
    HRESULT Call(const std::wstring&, WORD, DISPPARAMS* params, VARIANT* result) override {
        std::wstring property;
        if (!StringArgument(params, 0, property)) {
            return DISP_E_BADPARAMCOUNT;
        }
        const std::wstring prefix = L"http://schemas.microsoft.com/mapi/proptag/";
        property = LowerCaseWide(property);
        if (property.rfind(prefix, 0) != 0) {
            return DISP_E_EXCEPTION;
        }
        const auto& mapi = scenario_->Items[item_].Mapi;
        const auto found = mapi.find(property.substr(prefix.size()));
        // Outlook raises an error for a property the message does not have.
        if (found == mapi.end()) {
            return DISP_E_EXCEPTION;
        }
        return ReturnValue(result, found->second);
    }

private:
    ScenarioPtr scenario_;
    std::size_t item_;
};

class MailItemObject : public DispatchObject {
public:
    MailItemObject(ScenarioPtr scenario, std::size_t item)
        : scenario_(std::move(scenario)), item_(item) {}

protected:
    bool HasMember(const std::wstring& name) const override {
        const Item& item = scenario_->Items[item_];
        return item.Members.count(name) != 0 || (name == L"propertyaccessor" && !item.NoAccessor);
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS*, VARIANT* result) override {
        if (name == L"propertyaccessor") {
            return ReturnObject(result, new PropertyAccessorObject(scenario_, item_));
        }
        return ReturnValue(result, scenario_->Items[item_].Members.at(name));
    }

private:
    ScenarioPtr scenario_;
    std::size_t item_;
};

class ItemsObject : public DispatchObject {
public:
    ItemsObject(ScenarioPtr scenario, const Folder& folder)
        : scenario_(std::move(scenario)), order_(folder.Items), noSort_(folder.NoSort) {}

protected:
    bool HasMember(const std::wstring& name) const override {
        static const wchar_t* const names[] = {L"count", L"item", L"sort"};
        return OneOf(name, names);
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        if (name == L"count") {
            return ReturnInt(result, static_cast<LONG>(order_.size()));
        }
        if (name == L"item") {
            LONG index = 0;
            if (!IntArgument(params, 0, index) || index < 1 ||
                static_cast<std::size_t>(index) > order_.size()) {
                return DISP_E_BADINDEX;
            }
            return ReturnObject(result, new MailItemObject(scenario_, order_[index - 1]));
        }
        // Sort
        std::wstring key;
        LONG descending = 0;
        if (noSort_ || !StringArgument(params, 0, key) || LowerCaseWide(key) != L"[receivedtime]") {
            return DISP_E_EXCEPTION;
        }
        IntArgument(params, 1, descending);
        auto received = [this](std::size_t item, double& date) {
            const auto& members = scenario_->Items[item].Members;
            const auto found = members.find(L"receivedtime");
            if (found == members.end() || found->second.Type != VT_DATE) {
                return false;
            }
            date = found->second.Date;
            return true;
        };
        // Items without a date go last either way, as undated items do in Outlook's views.
        std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
            double da = 0, db = 0;
            const bool ha = received(a, da), hb = received(b, db);
            if (ha != hb) {
                return ha;
            }
            return ha && (descending != 0 ? da > db : da < db);
        });
        return S_OK;
    }

private:
    ScenarioPtr scenario_;
    std::vector<std::size_t> order_;
    bool noSort_;
};

class StoreObject : public DispatchObject {
public:
    StoreObject(ScenarioPtr scenario, std::size_t store)
        : scenario_(std::move(scenario)), store_(store) {}

protected:
    bool HasMember(const std::wstring& name) const override {
        return name == L"displayname" || name == L"storeid";
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS*, VARIANT* result) override {
        const Store& store = scenario_->Stores[store_];
        if (name == L"storeid") {
            return ReturnString(result, store.Id);
        }
        return store.NoDisplayName ? DISP_E_EXCEPTION : ReturnString(result, store.Name);
    }

private:
    ScenarioPtr scenario_;
    std::size_t store_;
};

class FoldersObject;

class FolderObject : public DispatchObject {
public:
    FolderObject(ScenarioPtr scenario, std::size_t folder)
        : scenario_(std::move(scenario)), folder_(folder) {}

protected:
    bool HasMember(const std::wstring& name) const override {
        static const wchar_t* const names[] = {L"name",  L"folderpath", L"entryid", L"storeid",
                                               L"store", L"folders",    L"items"};
        return OneOf(name, names);
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS*, VARIANT* result) override;

private:
    ScenarioPtr scenario_;
    std::size_t folder_;
};

class FoldersObject : public DispatchObject {
public:
    FoldersObject(ScenarioPtr scenario, std::vector<std::size_t> folders)
        : scenario_(std::move(scenario)), folders_(std::move(folders)) {}

protected:
    bool HasMember(const std::wstring& name) const override {
        return name == L"count" || name == L"item";
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        if (name == L"count") {
            return ReturnInt(result, static_cast<LONG>(folders_.size()));
        }
        LONG index = 0;
        if (!IntArgument(params, 0, index) || index < 1 ||
            static_cast<std::size_t>(index) > folders_.size()) {
            return DISP_E_BADINDEX;
        }
        return ReturnObject(result, new FolderObject(scenario_, folders_[index - 1]));
    }

private:
    ScenarioPtr scenario_;
    std::vector<std::size_t> folders_;
};

HRESULT FolderObject::Call(const std::wstring& name, WORD, DISPPARAMS*, VARIANT* result) {
    const Folder& folder = scenario_->Folders[folder_];
    const Store& store = scenario_->Stores[folder.StoreIndex];
    if (name == L"folders") {
        return ReturnObject(result, new FoldersObject(scenario_, folder.Children));
    }
    if (name == L"items") {
        return ReturnObject(result, new ItemsObject(scenario_, folder));
    }
    if (folder.Unreadable) {
        return DISP_E_EXCEPTION;
    }
    if (name == L"name") {
        return ReturnString(result, folder.Name);
    }
    if (name == L"folderpath") {
        return ReturnString(result, folder.FolderPath);
    }
    if (name == L"entryid") {
        return ReturnString(result, folder.Id);
    }
    if (name == L"storeid") {
        return ReturnString(result, store.Id);
    }
    // Store
    if (store.NoStore) {
        return DISP_E_EXCEPTION;
    }
    return ReturnObject(result, new StoreObject(scenario_, folder.StoreIndex));
}

class NamespaceObject : public DispatchObject {
protected:
    bool HasMember(const std::wstring& name) const override {
        return name == L"folders" || name == L"getfolderfromid";
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        State().Refresh();
        const ScenarioPtr scenario = State().Current;
        if (name == L"folders") {
            return ReturnObject(result, new FoldersObject(scenario, scenario->Roots));
        }
        std::wstring entryId, storeId;
        if (!StringArgument(params, 0, entryId) || !StringArgument(params, 1, storeId)) {
            return DISP_E_BADPARAMCOUNT;
        }
        for (std::size_t f = 0; f < scenario->Folders.size(); ++f) {
            const Folder& folder = scenario->Folders[f];
            if (folder.Id == entryId && scenario->Stores[folder.StoreIndex].Id == storeId) {
                if (folder.Unopenable) {
                    break;
                }
                return ReturnObject(result, new FolderObject(scenario, f));
            }
        }
        return DISP_E_EXCEPTION;
    }
};

class ApplicationObject : public DispatchObject {
protected:
    bool HasMember(const std::wstring& name) const override {
        static const wchar_t* const names[] = {L"getnamespace", L"quit", L"callcount"};
        return OneOf(name, names);
    }
    HRESULT Call(const std::wstring& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        if (name == L"callcount") {
            return ReturnInt(result, State().Calls.load());
        }
        if (name == L"quit") {
            PostQuitMessage(0);
            return S_OK;
        }
        std::wstring kind;
        if (!StringArgument(params, 0, kind) || kind != L"MAPI") {
            return DISP_E_EXCEPTION;
        }
        State().Refresh();
        return ReturnObject(result, new NamespaceObject());
    }
};

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
    if (CompareFileTime(&data.ftLastWriteTime, &LastWrite) == 0 && size == LastSize) {
        return;
    }
    std::wstring text;
    if (!ReadTextFile(ScenarioPath, text)) {
        return;
    }
    LastWrite = data.ftLastWriteTime;
    LastSize = size;
    Current = std::make_shared<Scenario>(ParseScenario(text));
}

IDispatch* CreateApplication() {
    return new ApplicationObject();
}

}  // namespace wrenpost::fake_outlook
