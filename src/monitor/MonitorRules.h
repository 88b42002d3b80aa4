// The monitor's view of a profile's Notification Rules: reloaded at every cycle, then asked once
// per admitted message.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "outlook/MailSnapshot.h"
#include "rules/RuleModel.h"

namespace wrenpost {

class MonitorRules {
public:
    using LogLine = std::function<void(const std::wstring&)>;

    // Reads the rules file again and logs what this cycle will use; a damaged or unreadable file
    // leaves the rules switched off.
    void Reload(const std::filesystem::path& rulesPath, const LogLine& log,
                const std::wstring& localNow);
    void NewSession() {}
    bool Usable() const { return true; }

    bool Enabled() const { return enabled_; }
    // May throw; the caller falls back to the initial RuleDecision.
    RuleDecision Evaluate(const MailSnapshot& message) const;

private:
    bool enabled_ = false;
    std::vector<NotificationRule> active_;
};

}  // namespace wrenpost
