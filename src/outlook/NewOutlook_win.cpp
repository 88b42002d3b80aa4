#include "outlook/NewOutlook_win.h"

#include "app/AppPaths_win.h"

namespace wrenpost {

bool NewOutlookInstalled() {
    const std::filesystem::path base = LocalAppDataBase();
    if (base.empty()) {
        return false;
    }
    // The alias is a reparse point that only the shell can open; its attributes are enough.
    const std::filesystem::path alias = base / L"Microsoft" / L"WindowsApps" / L"olk.exe";
    return GetFileAttributesW(alias.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring NewOutlookOnlyText(HRESULT connectError) {
    // CO_E_CLASSSTRING: the ProgID is unknown; REGDB_E_CLASSNOTREG: it names no registered class.
    const bool classicMissing =
        connectError == CO_E_CLASSSTRING || connectError == REGDB_E_CLASSNOTREG;
    return classicMissing && NewOutlookInstalled() ? kNewOutlookOnlyText : L"";
}

}  // namespace wrenpost
