// Builds update manifests for the tests: a valid document by default, with any member replaced by
// raw JSON text or left out.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wrenpost::testing {

class ManifestBuilder {
public:
    // Raw JSON text for a top-level member (a new one goes last); nullopt removes it.
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
    ManifestBuilder& WithoutInstaller() {
        installerPresent_ = false;
        return *this;
    }

    std::string Build() const {
        auto members = top_;
        if (installerPresent_) {
            members.emplace_back("installer", Join(installer_, "{", "}"));
        }
        return Join(members, "{\n  ", "\n}\n", ",\n  ", "\": ");
    }

    static std::string Notes(std::size_t count, const std::string& each) {
        std::string out = "[";
        for (std::size_t i = 0; i < count; ++i) out += (i ? ",\"" : "\"") + each + "\"";
        return out + "]";
    }

private:
    using Members = std::vector<std::pair<std::string, std::string>>;

    static void Put(Members& members, const std::string& name, std::optional<std::string> raw) {
        std::erase_if(members, [&](const auto& member) { return member.first == name && !raw; });
        for (auto& member : members) {
            if (member.first == name) {
                member.second = std::move(*raw);
                return;
            }
        }
        if (raw) {
            members.emplace_back(name, std::move(*raw));
        }
    }

    static std::string Join(const Members& members, const std::string& open,
                            const std::string& close, const std::string& comma = ",",
                            const std::string& colon = "\":") {
        std::string out = open;
        for (std::size_t i = 0; i < members.size(); ++i) {
            out += (i ? comma : "") + "\"" + members[i].first + colon + members[i].second;
        }
        return out + close;
    }

    Members top_ = {{"schemaVersion", "1"},
                    {"platform", "\"windows\""},
                    {"architecture", "\"x64\""},
                    {"latestVersion", "\"1.2.0\""},
                    {"minimumSupportedVersion", "\"1.0.0\""},
                    {"downloadPagePath", "\"/download\""},
                    {"releaseNotes", "[\"Faster start-up\",\"Fixed the tray icon\"]"}};
    Members installer_ = {{"filename", "\"WrenpostSetup-1.2.0.exe\""},
                          {"sizeBytes", "12345678"},
                          {"sha256", "\"" + std::string(64, 'a') + "\""}};
    bool installerPresent_ = true;
};

}  // namespace wrenpost::testing
