// Builds update manifests for the tests: a valid document by default, with any member replaced by
// raw JSON text or left out.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wrenpost::testing {

class ManifestBuilder {
public:
    ManifestBuilder() {
        top_ = {{"schemaVersion", "1"},
                {"platform", "\"windows\""},
                {"architecture", "\"x64\""},
                {"latestVersion", "\"1.2.0\""},
                {"minimumSupportedVersion", "\"1.0.0\""},
                {"downloadPagePath", "\"/download\""},
                {"releaseNotes", "[\"Faster start-up\",\"Fixed the tray icon\"]"}};
        installer_ = {{"filename", "\"WrenpostSetup-1.2.0.exe\""},
                      {"sizeBytes", "12345678"},
                      {"sha256", "\"" + std::string(64, 'a') + "\""}};
    }

    // Raw JSON text for a top-level member; nullopt removes it.
    ManifestBuilder& Set(const std::string& name, std::optional<std::string> raw) {
        Put(top_, name, std::move(raw));
        return *this;
    }
    ManifestBuilder& SetInstaller(const std::string& name, std::optional<std::string> raw) {
        Put(installer_, name, std::move(raw));
        return *this;
    }
    ManifestBuilder& SetText(const std::string& name, const std::string& text) {
        return Set(name, "\"" + text + "\"");
    }

    std::string Build() const {
        std::string installer = "{";
        for (const auto& [name, raw] : installer_) {
            installer += (installer.size() > 1 ? "," : "") + ("\"" + name + "\":") + raw;
        }
        installer += "}";
        std::string out = "{\n";
        bool first = true;
        for (const auto& [name, raw] : top_) {
            out += (first ? "  \"" : ",\n  \"") + name + "\": " + raw;
            first = false;
        }
        if (installerPresent_) {
            out += ",\n  \"installer\": " + installer;
        }
        return out + "\n}\n";
    }

    ManifestBuilder& WithoutInstaller() {
        installerPresent_ = false;
        return *this;
    }

    static std::string Notes(std::size_t count, const std::string& each) {
        std::string out = "[";
        for (std::size_t i = 0; i < count; ++i) {
            out += (i ? ",\"" : "\"") + each + "\"";
        }
        return out + "]";
    }

private:
    static void Put(std::vector<std::pair<std::string, std::string>>& members,
                    const std::string& name, std::optional<std::string> raw) {
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (it->first == name) {
                if (raw) {
                    it->second = *raw;
                } else {
                    members.erase(it);
                }
                return;
            }
        }
        if (raw) {
            members.emplace_back(name, *raw);
        }
    }

    std::vector<std::pair<std::string, std::string>> top_;
    std::vector<std::pair<std::string, std::string>> installer_;
    bool installerPresent_ = true;
};

}  // namespace wrenpost::testing
