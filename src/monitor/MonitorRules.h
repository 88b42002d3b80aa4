// The monitor's view of a profile's Notification Rules for one session: the rules file is read
// again at the start of every cycle, then asked once per admitted message.
//
// It fails closed. Only a missing or blank file means "no rules, send everything". While the file
// exists but cannot be read as rules (held open by another program, access denied, damaged), the
// rules last read in this session stay in force; with none read yet the cycle's new mail must be
// held (Usable() is false) until the file reads again.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "outlook/MailSnapshot.h"
#include "rules/RuleModel.h"

namespace wrenpost {

class MonitorRules {
public:
    using LogLine = std::function<void(const std::wstring&)>;

    // Forgets the rules read and any failing read: each session starts from the file alone.
    void NewSession();

    // Reads the rules file and logs what this cycle uses. `readTime` is the local time of this
    // read ("%Y-%m-%d %H:%M:%S"), named when a later read fails. A failing read logs one WARNING
    // per episode; the episode ends with the next read that finds rules or no file.
    void Reload(const std::filesystem::path& rulesPath, const LogLine& log,
                const std::wstring& readTime);

    // False while the file exists but no rules of it were read this session: the cycle's new mail
    // is then neither sent nor remembered.
    bool Usable() const { return usable_; }
    // Whether the rules in force are switched on; false without rules in force.
    bool Enabled() const { return inForce_ && read_->Enabled; }
    // The decision of the rules in force. Not Usable: ShouldSend is false (a caller that forgot to
    // hold still sends nothing). May throw; the caller falls back to the initial RuleDecision.
    RuleDecision Evaluate(const MailSnapshot& message) const;

private:
    struct ReadRules {
        bool Enabled = false;
        std::vector<NotificationRule> Active;  // empty when switched off
        std::wstring ReadTime;
    };

    void Use(ReadRules read, std::size_t count, const LogLine& log);
    void UseNone(const LogLine& log);
    void KeepEarlier(const std::filesystem::path& rulesPath, const std::wstring& reason,
                     const LogLine& log);

    std::optional<ReadRules> read_;  // the rules last read this session
    bool inForce_ = false;           // this cycle applies read_
    bool usable_ = true;
    bool failing_ = false;  // an episode of failing reads is under way (and was logged)
};

}  // namespace wrenpost
