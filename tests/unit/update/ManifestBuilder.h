// Update manifests for the tests: a valid document by default, with members replaced by raw JSON
// text or, given nullopt, left out. "installer.<name>" names a member of the installer object; a
// new member goes last.
#pragma once

#include <algorithm>
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
    using Members = std::vector<std::pair<std::string, std::string>>;
    Members top = {{"schemaVersion", "1"},
                   {"platform", "\"windows\""},
                   {"architecture", "\"x64\""},
                   {"latestVersion", "\"1.2.0\""},
                   {"minimumSupportedVersion", "\"1.0.0\""},
                   {"downloadPagePath", "\"/download\""},
                   {"releaseNotes", "[\"Faster start-up\",\"Fixed the tray icon\"]"},
                   {"installer", ""}};  // empty: the installer object
    Members installer = {{"filename", "\"WrenpostSetup-1.2.0.exe\""},
                         {"sizeBytes", "12345678"},
                         {"sha256", Quoted(std::string(64, 'a'))}};
    for (const auto& [name, raw] : changes) {
        const bool inner = name.starts_with("installer.");
        Members& members = inner ? installer : top;
        const std::string key = inner ? name.substr(10) : name;
        const auto it = std::find_if(members.begin(), members.end(),
                                     [&](const auto& member) { return member.first == key; });
        if (!raw) {
            if (it != members.end())
                members.erase(it);
        } else if (it != members.end()) {
            it->second = *raw;
        } else {
            members.emplace_back(key, *raw);
        }
    }
    const auto join = [](const Members& members, const std::string& installerText) {
        std::string out = "{";
        for (const auto& [key, value] : members) {
            out += (out.size() > 1 ? ",\n  \"" : "\n  \"") + key +
                   "\": " + (value.empty() ? installerText : value);
        }
        return out + "\n}";
    };
    return join(top, join(installer, "")) + "\n";
}

inline std::string Notes(std::size_t count, const std::string& each) {
    std::string out = "[";
    for (std::size_t i = 0; i < count; ++i) out += (i ? ",\"" : "\"") + each + "\"";
    return out + "]";
}

}  // namespace wrenpost::testing
