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

// The folder at `path` below the store's root, created with any missing parents.
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
            Fields& owner = scenario.Stores[store];
            next = scenario.Folders.size();
            scenario.Folders.push_back({.Store = store,
                                        .Id = owner[L"id"] + L":" + sofar,
                                        .Name = part,
                                        .FolderPath = L"\\\\" + owner[L"name"] + L"\\" + sofar,
                                        .RelativePath = sofar});
            scenario.Folders[current].Children.push_back(next);
        }
        current = next;
    }
    return current;
}

}  // namespace

void ToVariant(const std::wstring& text, VARTYPE plain, VARIANT& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    SYSTEMTIME time{};
    if (text == L"baddate") {
        out.vt = VT_DATE;
        out.date = 1e12;  // far outside what VariantTimeToSystemTime accepts
    } else if (plain == VT_DATE &&
               std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) == 6) {
        time = {WORD(y), WORD(mo), 0, WORD(d), WORD(h), WORD(mi), WORD(s), 0};
        out.vt = SystemTimeToVariantTime(&time, &out.date) ? VT_DATE : VT_EMPTY;
    } else if (plain == VT_BOOL && text.rfind(L"str:", 0) != 0) {
        out.vt = VT_BOOL;
        out.boolVal = text == L"1" ? VARIANT_TRUE : VARIANT_FALSE;
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
        Fields fields;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::size_t eq = parts[i].find(L'=');
            fields[parts[i].substr(0, eq)] =
                eq == std::wstring::npos ? L"" : parts[i].substr(eq + 1);
        }
        const auto has = [&](const wchar_t* key) { return fields.count(key) != 0; };
        if (parts[0] == L"store") {
            scenario.Roots.push_back(scenario.Folders.size());
            scenario.Folders.push_back({.Store = scenario.Stores.size(),
                                        .Id = fields[L"id"] + L":",
                                        .Name = fields[L"name"],
                                        .FolderPath = L"\\\\" + fields[L"name"]});
            scenario.Stores.push_back(fields);
        } else if (parts[0] == L"folder") {
            std::size_t store = kNone;
            for (std::size_t s = 0; s < scenario.Stores.size(); ++s) {
                store = scenario.Stores[s][L"id"] == fields[L"store"] ? s : store;
            }
            if (store != kNone) {
                Folder& folder =
                    scenario.Folders[FindOrAddFolder(scenario, store, fields[L"path"])];
                folder.Id = has(L"id") ? fields[L"id"] : folder.Id;
                folder.Flags = fields;
            }
        } else if (parts[0] == L"item") {
            std::size_t target = kNone;
            for (std::size_t f = 0; f < scenario.Folders.size(); ++f) {
                target = scenario.Folders[f].Id == fields[L"folder"] ? f : target;
            }
            if (target != kNone) {
                scenario.Folders[target].Items.push_back(scenario.Items.size());
                scenario.Items.push_back(fields);
            }
        } else if (parts[0] == L"hang") {
            scenario.HangMember = LowerCaseWide(fields[L"member"]);
        } else if (parts[0] == L"events") {
            scenario.Events.insert(fields.begin(), fields.end());
        }
    }
    return scenario;
}

}  // namespace wrenpost::fake_outlook
