// Loading the rules file at the start of a monitor cycle and evaluating admitted messages.
#include "monitor/MonitorRules.h"

#include <exception>
#include <utility>

#include "common/Text.h"
#include "rules/RuleEvaluation.h"
#include "rules/RulesFile.h"

namespace wrenpost {

void MonitorRules::NewSession() {
    read_.reset();
    inForce_ = false;
    usable_ = true;
    failing_ = false;
}

void MonitorRules::Reload(const std::filesystem::path& rulesPath, const LogLine& log,
                          const std::wstring& readTime) {
    RulesFile file;
    ReadRules read;
    std::wstring reason;
    RuleLoadResult result = RuleLoadResult::Unreadable;
    try {
        result = LoadRulesFile(rulesPath, file, &reason);
        if (result == RuleLoadResult::Loaded) {
            read = {file.Enabled, PrepareMonitorRules(file), readTime};
        }
    } catch (...) {
        result = RuleLoadResult::Unreadable;
        reason = L"unexpected error";
    }
    switch (result) {
        case RuleLoadResult::Loaded:
            Use(std::move(read), file.Rules.size(), log);
            break;
        case RuleLoadResult::Missing:
            UseNone(log);
            break;
        case RuleLoadResult::Corrupt:
            KeepEarlier(rulesPath, L"it is damaged", log);
            break;
        case RuleLoadResult::Unreadable:
            KeepEarlier(rulesPath, reason, log);
            break;
    }
}

void MonitorRules::Use(ReadRules read, std::size_t count, const LogLine& log) {
    read_ = std::move(read);
    inForce_ = true;
    usable_ = true;
    failing_ = false;
    const std::wstring countText = ToWideDecimal(static_cast<long long>(count));
    log(L"Notification Rules loaded: " + countText + L" rules.");
    log(read_->Enabled ? L"Notification Rules enabled." : L"Notification Rules disabled.");
    if (!read_->Enabled && count > 0) {
        log(L"WARNING: " + countText +
            L" notification rule(s) are configured for this profile but Notification Rules is "
            L"turned OFF - every incoming email will be sent with no rule filtering applied. "
            L"Enable Notification Rules in Advanced to activate them.");
    }
}

// No file: the profile has no rules. What was read earlier stays remembered for a later failure,
// as the last rules the user had.
void MonitorRules::UseNone(const LogLine& log) {
    inForce_ = false;
    usable_ = true;
    failing_ = false;
    log(L"Notification Rules loaded: 0 rules.");
    log(L"Notification Rules disabled.");
}

void MonitorRules::KeepEarlier(const std::filesystem::path& rulesPath, const std::wstring& reason,
                               const LogLine& log) {
    inForce_ = read_.has_value();
    usable_ = inForce_;
    if (std::exchange(failing_, true)) {
        return;
    }
    const std::wstring problem = L"WARNING: The Notification Rules file " + rulesPath.wstring() +
                                 L" cannot be read (" + reason + L"); ";
    log(problem + (inForce_ ? L"using the rules read at " + read_->ReadTime + L"."
                            : std::wstring(L"new mail is held until it can be read.")));
}

RuleDecision MonitorRules::Evaluate(const MailSnapshot& message) const {
    if (!usable_) {
        RuleDecision held;
        held.ShouldSend = false;
        held.Reason = L"the Notification Rules file cannot be read";
        return held;
    }
    return EvaluateRules(inForce_ ? read_->Active : std::vector<NotificationRule>{}, message);
}

}  // namespace wrenpost
