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

}  // namespace wrenpost
