// Reading the scenario file into the fake's world.
#include "fakes/outlook/Scenario.h"

#include <cstdio>
#include <cwctype>

#include "outlook/FolderExclusion.h"

namespace wrenpost::fake_outlook {
namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
        if (at == std::wstring::npos) {
            return parts;
        }
        start = at + 1;
    }
}

using Fields = std::map<std::wstring, std::wstring>;

bool Has(const Fields& fields, const wchar_t* key) {
    return fields.count(key) != 0;
}

std::wstring Get(const Fields& fields, const wchar_t* key, const std::wstring& fallback = {}) {
    const auto found = fields.find(key);
    return found == fields.end() ? fallback : found->second;
}

bool ParseDate(const std::wstring& text, double& date) {
    SYSTEMTIME time{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
        return false;
    }
    time.wYear = static_cast<WORD>(y);
    time.wMonth = static_cast<WORD>(mo);
    time.wDay = static_cast<WORD>(d);
    time.wHour = static_cast<WORD>(h);
    time.wMinute = static_cast<WORD>(mi);
    time.wSecond = static_cast<WORD>(s);
    return SystemTimeToVariantTime(&time, &date) != 0;
}

Value ParseValue(const std::wstring& text, VARTYPE plain) {
    Value value;
    if (text == L"empty") {
        return value;
    }
    if (text == L"baddate") {
        // Far outside what VariantTimeToSystemTime accepts.
        value.Type = VT_DATE;
        value.Date = 1e12;
        return value;
    }
    if (text.rfind(L"str:", 0) == 0) {
        value.Type = VT_BSTR;
        value.Text = text.substr(4);
        return value;
    }
    if (text.rfind(L"i4:", 0) == 0) {
        value.Type = VT_I4;
        value.Number = std::wcstol(text.c_str() + 3, nullptr, 10);
        return value;
    }
    if (plain == VT_DATE && ParseDate(text, value.Date)) {
        value.Type = VT_DATE;
        return value;
    }
    if (plain == VT_BOOL) {
        value.Type = VT_BOOL;
        value.Flag = text == L"1" || text == L"true";
        return value;
    }
    value.Type = VT_BSTR;
    value.Text = text;
    return value;
}

std::size_t FindOrAddFolder(Scenario& scenario, std::size_t store, const std::wstring& path) {
    std::size_t current = scenario.Roots[store];
    if (path.empty()) {
        return current;
    }
    std::wstring sofar;
    for (const std::wstring& part : Split(path, L'\\')) {
        sofar += sofar.empty() ? part : L"\\" + part;
        std::size_t next = static_cast<std::size_t>(-1);
        for (std::size_t child : scenario.Folders[current].Children) {
            if (scenario.Folders[child].RelativePath == sofar) {
                next = child;
                break;
            }
        }
        if (next == static_cast<std::size_t>(-1)) {
            Folder folder;
            folder.StoreIndex = store;
            folder.Name = part;
            folder.RelativePath = sofar;
            folder.FolderPath = L"\\\\" + scenario.Stores[store].Name + L"\\" + sofar;
            folder.Id = scenario.Stores[store].Id + L":" + sofar;
            next = scenario.Folders.size();
            scenario.Folders.push_back(folder);
            scenario.Folders[current].Children.push_back(next);
        }
        current = next;
    }
    return current;
}

}  // namespace

Scenario ParseScenario(const std::wstring& text) {
    Scenario scenario;
    for (std::wstring line : Split(text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        const std::vector<std::wstring> parts = Split(line, L'\t');
        if (parts.empty()) {
            continue;
        }
        Fields fields;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::size_t eq = parts[i].find(L'=');
            if (eq == std::wstring::npos) {
                fields[parts[i]] = L"";
            } else {
                fields[parts[i].substr(0, eq)] = parts[i].substr(eq + 1);
            }
        }
        const std::wstring& kind = parts[0];
        if (kind == L"store") {
            Store store;
            store.Id = Get(fields, L"id");
            store.Name = Get(fields, L"name");
            store.NoStore = Has(fields, L"nostore");
            store.NoDisplayName = Has(fields, L"nodisplayname");
            Folder root;
            root.StoreIndex = scenario.Stores.size();
            root.Name = store.Name;
            root.FolderPath = L"\\\\" + store.Name;
            root.Id = store.Id + L":";
            scenario.Roots.push_back(scenario.Folders.size());
            scenario.Folders.push_back(root);
            scenario.Stores.push_back(store);
        } else if (kind == L"folder") {
            std::size_t store = static_cast<std::size_t>(-1);
            for (std::size_t s = 0; s < scenario.Stores.size(); ++s) {
                if (scenario.Stores[s].Id == Get(fields, L"store")) {
                    store = s;
                }
            }
            if (store == static_cast<std::size_t>(-1)) {
                continue;
            }
            Folder& folder =
                scenario.Folders[FindOrAddFolder(scenario, store, Get(fields, L"path"))];
            folder.Id = Get(fields, L"id", folder.Id);
            folder.Name = Get(fields, L"name", folder.Name);
            folder.FolderPath = Get(fields, L"folderpath", folder.FolderPath);
            folder.Unreadable = Has(fields, L"unreadable");
            folder.Unopenable = Has(fields, L"unopenable");
            folder.NoSort = Has(fields, L"nosort");
        } else if (kind == L"item") {
            std::size_t target = static_cast<std::size_t>(-1);
            for (std::size_t f = 0; f < scenario.Folders.size(); ++f) {
                if (scenario.Folders[f].Id == Get(fields, L"folder")) {
                    target = f;
                }
            }
            if (target == static_cast<std::size_t>(-1)) {
                continue;
            }
            Item item;
            item.NoAccessor = Has(fields, L"noaccessor");
            const struct {
                const wchar_t* field;
                const wchar_t* member;
                VARTYPE plain;
            } members[] = {
                {L"subject", L"subject", VT_BSTR}, {L"sender", L"sendername", VT_BSTR},
                {L"id", L"entryid", VT_BSTR},      {L"received", L"receivedtime", VT_DATE},
                {L"senton", L"senton", VT_DATE},   {L"unread", L"unread", VT_BOOL}};
            for (const auto& m : members) {
                if (Has(fields, m.field)) {
                    item.Members[m.member] = ParseValue(Get(fields, m.field), m.plain);
                }
            }
            const struct {
                const wchar_t* field;
                const wchar_t* tag;
                VARTYPE plain;
            } mapi[] = {{L"delivery", L"0x0e060040", VT_DATE},
                        {L"submit", L"0x00390040", VT_DATE},
                        {L"msgid", L"0x1035001f", VT_BSTR}};
            for (const auto& m : mapi) {
                if (Has(fields, m.field)) {
                    item.Mapi[m.tag] = ParseValue(Get(fields, m.field), m.plain);
                }
            }
            scenario.Folders[target].Items.push_back(scenario.Items.size());
            scenario.Items.push_back(std::move(item));
        } else if (kind == L"hang") {
            scenario.HangMember = LowerCaseWide(Get(fields, L"member"));
        }
    }
    return scenario;
}

}  // namespace wrenpost::fake_outlook
