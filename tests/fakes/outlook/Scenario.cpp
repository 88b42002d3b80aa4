// Reading the scenario file into the fake's world.
#include "fakes/outlook/Scenario.h"

#include <cstdio>

#include "outlook/FolderExclusion.h"

namespace wrenpost::fake_outlook {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::wstring::npos; start = at + 1) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool ParseDate(const std::wstring& text, double& date) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
        return false;
    }
    SYSTEMTIME time{
        static_cast<WORD>(y),  static_cast<WORD>(mo), 0, static_cast<WORD>(d), static_cast<WORD>(h),
        static_cast<WORD>(mi), static_cast<WORD>(s),  0};
    return SystemTimeToVariantTime(&time, &date) != 0;
}

// `path` is the FolderPath after its two leading backslashes.
Folder NewFolder(std::size_t store, std::wstring id, std::wstring name, const std::wstring& path,
                 std::wstring relative) {
    Folder folder;
    folder.StoreIndex = store;
    folder.Id = std::move(id);
    folder.Name = std::move(name);
    folder.FolderPath = L"\\\\" + path;
    folder.RelativePath = std::move(relative);
    return folder;
}

std::size_t FindOrAddFolder(Scenario& scenario, std::size_t store, const std::wstring& path) {
    std::size_t current = scenario.Roots[store];
    std::wstring sofar;
    for (const std::wstring& part :
         path.empty() ? std::vector<std::wstring>{} : Split(path, L'\\')) {
        sofar += sofar.empty() ? part : L"\\" + part;
        std::size_t next = kNone;
        for (std::size_t child : scenario.Folders[current].Children) {
            next = scenario.Folders[child].RelativePath == sofar ? child : next;
        }
        if (next == kNone) {
            const Store& owner = scenario.Stores[store];
            next = scenario.Folders.size();
            scenario.Folders.push_back(
                NewFolder(store, owner.Id + L":" + sofar, part, owner.Name + L"\\" + sofar, sofar));
            scenario.Folders[current].Children.push_back(next);
        }
        current = next;
    }
    return current;
}

}  // namespace

void ToVariant(const Value& value, VARIANT& out) {
    const std::wstring& text = value.Text;
    double date = 0;
    if (text == L"empty") {
        out.vt = VT_EMPTY;
    } else if (text == L"baddate") {
        out.vt = VT_DATE;
        out.date = 1e12;  // far outside what VariantTimeToSystemTime accepts
    } else if (text.rfind(L"i4:", 0) == 0) {
        out.vt = VT_I4;
        out.lVal = std::wcstol(text.c_str() + 3, nullptr, 10);
    } else if (value.Plain == VT_DATE && ParseDate(text, date)) {
        out.vt = VT_DATE;
        out.date = date;
    } else if (value.Plain == VT_BOOL && text.rfind(L"str:", 0) != 0) {
        out.vt = VT_BOOL;
        out.boolVal = text == L"1" || text == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        const std::wstring shown = text.rfind(L"str:", 0) == 0 ? text.substr(4) : text;
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(shown.data(), static_cast<UINT>(shown.size()));
    }
}

Scenario ParseScenario(const std::wstring& text) {
    Scenario scenario;
    for (std::wstring line : Split(text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        const std::vector<std::wstring> parts = Split(line, L'\t');
        std::map<std::wstring, std::wstring> fields;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::size_t eq = parts[i].find(L'=');
            fields[parts[i].substr(0, eq)] =
                eq == std::wstring::npos ? L"" : parts[i].substr(eq + 1);
        }
        const auto has = [&](const wchar_t* key) { return fields.count(key) != 0; };
        const auto get = [&](const wchar_t* key, const std::wstring& fallback = {}) {
            return has(key) ? fields[key] : fallback;
        };
        if (parts[0] == L"store") {
            Store store{get(L"id"), get(L"name"), has(L"nostore"), has(L"nodisplayname")};
            scenario.Roots.push_back(scenario.Folders.size());
            scenario.Folders.push_back(
                NewFolder(scenario.Stores.size(), store.Id + L":", store.Name, store.Name, L""));
            scenario.Stores.push_back(store);
        } else if (parts[0] == L"folder") {
            std::size_t store = kNone;
            for (std::size_t s = 0; s < scenario.Stores.size(); ++s) {
                store = scenario.Stores[s].Id == get(L"store") ? s : store;
            }
            if (store == kNone) {
                continue;
            }
            Folder& folder = scenario.Folders[FindOrAddFolder(scenario, store, get(L"path"))];
            folder.Id = get(L"id", folder.Id);
            folder.Unreadable = has(L"unreadable");
            folder.Unopenable = has(L"unopenable");
            folder.NoSort = has(L"nosort");
        } else if (parts[0] == L"item") {
            std::size_t target = kNone;
            for (std::size_t f = 0; f < scenario.Folders.size(); ++f) {
                target = scenario.Folders[f].Id == get(L"folder") ? f : target;
            }
            if (target == kNone) {
                continue;
            }
            Item item;
            item.NoAccessor = has(L"noaccessor");
            const struct {
                const wchar_t* field;
                const wchar_t* name;
                VARTYPE plain;
                bool mapi;
            } members[] = {{L"subject", L"subject", VT_BSTR, false},
                           {L"sender", L"sendername", VT_BSTR, false},
                           {L"id", L"entryid", VT_BSTR, false},
                           {L"received", L"receivedtime", VT_DATE, false},
                           {L"senton", L"senton", VT_DATE, false},
                           {L"unread", L"unread", VT_BOOL, false},
                           {L"delivery", L"0x0e060040", VT_DATE, true},
                           {L"submit", L"0x00390040", VT_DATE, true},
                           {L"msgid", L"0x1035001f", VT_BSTR, true}};
            for (const auto& m : members) {
                if (has(m.field)) {
                    (m.mapi ? item.Mapi : item.Members)[m.name] = Value{get(m.field), m.plain};
                }
            }
            scenario.Folders[target].Items.push_back(scenario.Items.size());
            scenario.Items.push_back(std::move(item));
        } else if (parts[0] == L"hang") {
            scenario.HangMember = LowerCaseWide(get(L"member"));
        }
    }
    return scenario;
}

}  // namespace wrenpost::fake_outlook
