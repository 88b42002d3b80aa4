// Update manifests for the tests: a valid document by default; each change replaces a member by
// raw JSON text (moving it last in its object) or, given nullopt, leaves it out. "installer.<name>"
// names a member of the installer object. Each member has its own line, and each object ends with
// a member the reader ignores, so that every member line can end with a comma.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wrenpost::testing {

using ManifestChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

inline std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

inline std::string Manifest(const ManifestChanges& changes = {}) {
    std::string text =
        "{\n\"schemaVersion\": 1,\n\"platform\": \"windows\",\n\"architecture\": \"x64\",\n"
        "\"latestVersion\": \"1.2.0\",\n\"minimumSupportedVersion\": \"1.0.0\",\n"
        "\"downloadPagePath\": \"/download\",\n"
        "\"releaseNotes\": [\"Faster start-up\",\"Fixed the tray icon\"],\n\"installer\": {\n"
        "\"filename\": \"WrenpostSetup-1.2.0.exe\",\n\"sizeBytes\": 12345678,\n\"sha256\": \"" +
        std::string(64, 'a') + "\",\n\"end\": 0},\n\"end\": 0}\n";
    for (const auto& [name, raw] : changes) {
        const bool inner = name.starts_with("installer.");
        const std::string key = name.substr(inner ? 10 : 0);
        if (const std::size_t at = text.find("\n\"" + key + "\": "); at != std::string::npos) {
            const bool object = key == "installer";
            text.erase(at + 1, text.find(object ? "},\n" : ",\n", at) + (object ? 3 : 2) - at - 1);
        }
        if (raw) {
            text.insert(inner ? text.find("\"end\"") : text.rfind("\"end\""),
                        Quoted(key) + ": " + *raw + ",\n");
        }
    }
    return text;
}

inline std::string Notes(std::size_t count, const std::string& each) {
    std::string out = "[";
    for (std::size_t i = 0; i < count; ++i) out += (i ? ",\"" : "\"") + each + "\"";
    return out + "]";
}

}  // namespace wrenpost::testing
