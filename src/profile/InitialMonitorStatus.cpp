// The session's initial monitor status text.
#include "profile/InitialMonitorStatus.h"

#include <string>

#include "common/JsonText.h"
#include "common/TextFile.h"

namespace wrenpost {

bool WriteInitialMonitorStatus(const std::filesystem::path& path, std::wstring_view profileName) {
    // Escaped although a valid profile name never needs it: a quote in an unchecked name must
    // not break the file for the tools that read it.
    const std::wstring text = L"{\n  \"ProfileName\": \"" + JsonEscape(profileName) +
                              L"\",\n  \"Status\": \"Stopped\",\n  \"LastCheck\": \"-\",\n"
                              L"  \"MessagesSent\": 0,\n  \"QueueCount\": 0\n}\n";
    return WriteTextFileAtomically(path, text);
}

}  // namespace wrenpost
