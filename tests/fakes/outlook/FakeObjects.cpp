// The fake Outlook's object model.
#include "fakes/outlook/FakeObjects.h"

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <set>
#include <vector>

#include "common/TextFile.h"
#include "outlook/FolderExclusion.h"

namespace wrenpost::fake_outlook {
namespace {

using ScenarioPtr = std::shared_ptr<const Scenario>;

// Every member any object has; a DISPID is the position here plus one. An object without the
// member answers DISP_E_MEMBERNOTFOUND, which fails the call as a missing member does.
// clang-format off
constexpr const wchar_t* kMembers[] = {
    L"callcount",        L"count",            L"displayname",      L"entryid",
    L"folderpath",       L"folders",          L"getfolderfromid",  L"getitemfromid",
    L"getnamespace",     L"getproperty",      L"item",             L"items",
    L"name",             L"receivedtime",     L"sendername",       L"senton",
    L"sort",             L"store",            L"storeid",          L"subject",
    L"unread",           L"propertyaccessor", L"senderemailaddress", L"body"};
// clang-format on

// The members of the model an item of another kind than mail does not have at all: a delivery
// report (ReportItem) has no sender and no ReceivedTime or SentOn; a meeting request and a post
// have every member the model knows.
bool KindLacks(const Fields& item, const std::wstring& member) {
    const auto kind = item.find(L"kind");
    return kind != item.end() && kind->second == L"report" &&
           (member == L"sendername" || member == L"receivedtime" || member == L"senton");
}

// Item members: the field that gives each, and its type.
const std::map<std::wstring, std::pair<std::wstring, VARTYPE>> kItemFields = {
    {L"subject", {L"subject", VT_BSTR}},     {L"sendername", {L"sender", VT_BSTR}},
    {L"entryid", {L"id", VT_BSTR}},          {L"receivedtime", {L"received", VT_DATE}},
    {L"senton", {L"senton", VT_DATE}},       {L"unread", {L"unread", VT_BOOL}},
    {L"0x0e060040", {L"delivery", VT_DATE}}, {L"0x00390040", {L"submit", VT_DATE}},
    {L"0x1035001f", {L"msgid", VT_BSTR}},   {L"senderemailaddress", {L"address", VT_BSTR}},
    {L"body", {L"body", VT_BSTR}},           {L"0x5d01001f", {L"smtp", VT_BSTR}}};

// What Outlook's object model guard protects: with the item's "refuse" flag each raises an
// exception carrying E_ACCESSDENIED, as Outlook does when programmatic access is denied.
bool Refuses(const Fields& item, const std::wstring& member) {
    return item.count(L"refuse") != 0 &&
           (member == L"sendername" || member == L"senderemailaddress" || member == L"body" ||
            member == L"propertyaccessor");
}

enum class Kind { Application, Namespace, Folders, Folder, Store, Items, Item, Accessor };

// Items and the application are also event sources (IConnectionPointContainer).
class Object final : public Counted<IDispatch, IConnectionPointContainer> {
public:
    Object(Kind kind, ScenarioPtr scenario, std::size_t index = 0,
           std::vector<std::size_t> list = {})
        : kind_(kind), scenario_(std::move(scenario)), index_(index), list_(std::move(list)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        const bool source = kind_ == Kind::Items || kind_ == Kind::Application;
        *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)
                   ? static_cast<void*>(static_cast<IDispatch*>(this))
               : source && IsEqualIID(riid, IID_IConnectionPointContainer)
                   ? static_cast<void*>(static_cast<IConnectionPointContainer*>(this))
                   : nullptr;
        return *out != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    // One name per call, as the program asks (no named arguments). An item does not know the
    // names its kind lacks, as Outlook's items do not.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ++State().Calls;
        const std::wstring name = LowerCaseWide(names[0]);
        const auto found = std::find(std::begin(kMembers), std::end(kMembers), name);
        const bool known = count == 1 && found != std::end(kMembers) && !Lacks(name);
        ids[0] = known ? static_cast<DISPID>(found - std::begin(kMembers)) + 1 : DISPID_UNKNOWN;
        return known ? S_OK : DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        ++State().Calls;
        if (id < 1 || id > static_cast<DISPID>(std::size(kMembers))) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const std::wstring member = kMembers[id - 1];
        if (Lacks(member)) {
            return DISP_E_MEMBERNOTFOUND;  // a DISPID learnt from an item of another kind
        }
        State().HangIfAsked(member);
        if (kind_ == Kind::Item && Refuses(scenario_->Items[index_], member)) {
            if (exception != nullptr) {
                *exception = EXCEPINFO{};
                exception->scode = E_ACCESSDENIED;
            }
            return DISP_E_EXCEPTION;
        }
        VARIANT scratch;
        VariantInit(&scratch);
        const HRESULT hr = Answer(member, params, result != nullptr ? *result : scratch);
        VariantClear(&scratch);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        const bool items = kind_ == Kind::Items && IsEqualIID(riid, kItemsEvents);
        const bool application = kind_ == Kind::Application &&
                                 IsEqualIID(riid, kApplicationEvents) &&
                                 State().Current->Events.count(L"noapp") == 0;
        *out = items || application
                   ? CreateConnectionPoint(this, riid, items ? scenario_->Folders[index_].Id : L"")
                   : nullptr;
        return *out != nullptr ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }

private:
    HRESULT Answer(const std::wstring& member, DISPPARAMS* params, VARIANT& r);
    HRESULT AnswerNamespace(const std::wstring& member, DISPPARAMS* params, VARIANT& r);
    HRESULT AnswerItem(const std::wstring& member, DISPPARAMS* params, VARIANT& r);
    bool Lacks(const std::wstring& member) const {
        return kind_ == Kind::Item && KindLacks(scenario_->Items[index_], member);
    }

    Kind kind_;
    ScenarioPtr scenario_;
    std::size_t index_;
    std::vector<std::size_t> list_;  // of a collection
};

HRESULT ReturnObject(VARIANT& result, Object* object) {
    result.vt = VT_DISPATCH;
    result.pdispVal = object;
    return S_OK;
}
HRESULT ReturnInt(VARIANT& result, LONG value) {
    result.vt = VT_I4;
    result.lVal = value;
    return S_OK;
}
HRESULT ReturnString(VARIANT& result, const std::wstring& text) {
    ToVariant(L"str:" + text, VT_BSTR, result);
    return S_OK;
}

// A positional argument in natural order (IDispatch stores them last-first), as text.
std::wstring Argument(DISPPARAMS* params, UINT position) {
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (params != nullptr && position < params->cArgs &&
        SUCCEEDED(
            VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - position], 0, VT_BSTR))) {
        text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    }
    VariantClear(&value);
    return text;
}

HRESULT Object::AnswerNamespace(const std::wstring& member, DISPPARAMS* params, VARIANT& r) {
    State().Refresh();
    const ScenarioPtr current = State().Current;
    if (member == L"folders") {
        return ReturnObject(r, new Object(Kind::Folders, current, 0, current->Roots));
    }
    const auto inStore = [&](const Folder& folder) {
        return current->Stores[folder.Store].at(L"id") == Argument(params, 1);
    };
    for (std::size_t f = 0; member == L"getfolderfromid" && f < current->Folders.size(); ++f) {
        const Folder& folder = current->Folders[f];
        if (folder.Id == Argument(params, 0) && inStore(folder)) {
            return ReturnObject(r, new Object(Kind::Folder, current, f));
        }
    }
    for (std::size_t f = 0; member == L"getitemfromid" && f < current->Folders.size(); ++f) {
        for (std::size_t item : current->Folders[f].Items) {
            const auto id = current->Items[item].find(L"id");
            if (id != current->Items[item].end() && id->second == Argument(params, 0) &&
                inStore(current->Folders[f])) {
                return ReturnObject(r, new Object(Kind::Item, current, item));
            }
        }
    }
    return DISP_E_EXCEPTION;
}

HRESULT Object::Answer(const std::wstring& member, DISPPARAMS* params, VARIANT& r) {
    const Scenario& scenario = *scenario_;
    if (kind_ == Kind::Application && member == L"callcount") {
        return ReturnInt(r, State().Calls.load());
    }
    if (kind_ == Kind::Application && member == L"getnamespace") {
        State().Refresh();
        return Argument(params, 0) == L"MAPI"
                   ? ReturnObject(r, new Object(Kind::Namespace, State().Current))
                   : DISP_E_EXCEPTION;
    }
    if (kind_ == Kind::Namespace) {
        return AnswerNamespace(member, params, r);
    }
    if ((kind_ == Kind::Folders || kind_ == Kind::Items) && member == L"count") {
        return ReturnInt(r, static_cast<LONG>(list_.size()));
    }
    if ((kind_ == Kind::Folders || kind_ == Kind::Items) && member == L"item") {
        const std::size_t index = std::wcstoul(Argument(params, 0).c_str(), nullptr, 10);
        return index < 1 || index > list_.size()
                   ? DISP_E_BADINDEX
                   : ReturnObject(r, new Object(kind_ == Kind::Folders ? Kind::Folder : Kind::Item,
                                                scenario_, list_[index - 1]));
    }
    if (kind_ == Kind::Items && member == L"sort") {
        if (scenario.Folders[index_].Flags.count(L"nosort") != 0 ||
            LowerCaseWide(Argument(params, 0)) != L"[receivedtime]") {
            return DISP_E_EXCEPTION;
        }
        // Dates are written so that their texts sort like them; an undated item sorts as the
        // oldest, as undated items do in Outlook's views.
        const auto received = [&](std::size_t item) {
            const auto found = scenario.Items[item].find(L"received");
            return found != scenario.Items[item].end() && std::iswdigit(found->second[0])
                       ? found->second
                       : std::wstring();
        };
        const std::wstring order = Argument(params, 1);
        const bool descending = !order.empty() && order != L"0" && order != L"False";
        std::stable_sort(list_.begin(), list_.end(), [&](std::size_t a, std::size_t b) {
            return descending ? received(a) > received(b) : received(a) < received(b);
        });
        return S_OK;
    }
    if (kind_ == Kind::Folder) {
        const Folder& folder = scenario.Folders[index_];
        if (member == L"items" || member == L"folders") {
            return ReturnObject(
                r, new Object(member == L"items" ? Kind::Items : Kind::Folders, scenario_, index_,
                              member == L"items" ? folder.Items : folder.Children));
        }
        if (member == L"store") {
            return ReturnObject(r, new Object(Kind::Store, scenario_, folder.Store));
        }
        const std::map<std::wstring, std::wstring> texts = {
            {L"name", folder.Name},
            {L"folderpath", folder.FolderPath},
            {L"entryid", folder.Id},
            {L"storeid", scenario.Stores[folder.Store].at(L"id")}};
        return texts.count(member) != 0 ? ReturnString(r, texts.at(member)) : DISP_E_MEMBERNOTFOUND;
    }
    if (kind_ == Kind::Store && member == L"displayname") {
        return ReturnString(r, scenario.Stores[index_].at(L"name"));
    }
    return kind_ == Kind::Item || kind_ == Kind::Accessor ? AnswerItem(member, params, r)
                                                          : DISP_E_MEMBERNOTFOUND;
}

HRESULT Object::AnswerItem(const std::wstring& member, DISPPARAMS* params, VARIANT& r) {
    const Fields& item = scenario_->Items[index_];
    if (kind_ == Kind::Item && member == L"propertyaccessor") {
        return item.count(L"noaccessor") != 0
                   ? DISP_E_MEMBERNOTFOUND
                   : ReturnObject(r, new Object(Kind::Accessor, scenario_, index_));
    }
    // A property asked of the accessor is named by its tag; Outlook raises an error for one
    // the message does not have.
    const std::wstring prefix = L"http://schemas.microsoft.com/mapi/proptag/";
    const std::wstring property = LowerCaseWide(Argument(params, 0));
    const std::wstring name = kind_ == Kind::Item              ? member
                              : property.rfind(prefix, 0) == 0 ? property.substr(prefix.size())
                                                               : L"";
    const auto field = kItemFields.find(name);
    if ((kind_ == Kind::Accessor) != (member == L"getproperty") || field == kItemFields.end() ||
        (kind_ == Kind::Item) != (name[0] != L'0') || item.count(field->second.first) == 0) {
        return kind_ == Kind::Accessor ? DISP_E_EXCEPTION : DISP_E_MEMBERNOTFOUND;
    }
    ToVariant(item.at(field->second.first), field->second.second, r);
    return S_OK;
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

void ServerState::HangIfAsked(const std::wstring& member) const {
    if (Current->HangMember == member) {
        SetEvent(Hanging);
        // Bounded, so a forgotten release cannot keep the fake alive forever.
        WaitForSingleObject(Release, 120000);
    }
}

void AnnounceNewItems() {
    ServerState& state = State();
    const ScenarioPtr before = std::exchange(state.Announced, state.Current);
    if (state.Sinks.empty() || before == state.Announced) {
        return;
    }
    std::set<std::wstring> known;
    for (const Fields& item : before->Items) {
        if (const auto id = item.find(L"id"); id != item.end()) {
            known.insert(id->second);
        }
    }
    const ScenarioPtr now = state.Announced;
    std::wstring ids;
    std::vector<std::size_t> added;
    std::map<std::wstring, std::size_t> perFolder;
    for (std::size_t i = 0; i < now->Items.size(); ++i) {
        const auto id = now->Items[i].find(L"id");
        if (id != now->Items[i].end() && known.insert(id->second).second) {
            ids += (ids.empty() ? L"" : L",") + id->second;
            added.push_back(i);
            ++perFolder[now->Items[i].at(L"folder")];
        }
    }
    // Outlook raises no ItemAdd when many items reach a folder at once.
    const auto limit = now->Events.find(L"itemaddlimit");
    const std::size_t most =
        limit == now->Events.end() ? 16 : std::wcstoul(limit->second.c_str(), nullptr, 10);
    for (std::size_t i : added) {
        const std::wstring& folder = now->Items[i].at(L"folder");
        if (perFolder[folder] <= most) {
            UniqueVariant item;
            item.raw()->vt = VT_DISPATCH;
            item.raw()->pdispVal = new Object(Kind::Item, now, i);
            Notify(kItemsEvents, folder, kItemAdd, item.raw());
        }
    }
    if (!ids.empty()) {
        UniqueVariant list = UniqueVariant::String(ids.c_str());
        Notify(kApplicationEvents, L"", kNewMailEx, list.raw());
    }
}

IDispatch* CreateApplication() {
    return new Object(Kind::Application, State().Current);
}

}  // namespace wrenpost::fake_outlook
