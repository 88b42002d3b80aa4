// Whether a profile name can serve as a Windows folder and file name: the name becomes the
// profile's folder and the prefix of its files, so a name Windows refuses or maps to a device
// would make SAVE fail or write somewhere unexpected.
#pragma once

#include <string>
#include <string_view>

namespace wrenpost {

// Empty when the name is usable (an empty name included: SAVE reports that on its own),
// otherwise the warning text that names the broken rule.
std::wstring ProfileNameProblem(std::wstring_view name);

// The name a loaded profile goes by. Its files are found by the prefix of "<prefix>Config.json",
// so the prefix is the name; the name written inside the file only counts when it is usable.
struct LoadedProfileName {
    std::wstring name;     // the prefix
    std::wstring problem;  // non-empty: refuse the profile (the "Invalid Profile Name" text)
    std::wstring warning;  // non-empty: the file's name differs from the prefix
};
LoadedProfileName ProfileNameAtLoad(std::wstring_view inFile, std::wstring_view prefix);

}  // namespace wrenpost
