// Loading the rules file at the start of a monitor cycle and evaluating admitted messages.
#include "monitor/MonitorRules.h"

#include <exception>

#include "common/Text.h"
#include "rules/RuleEvaluation.h"
#include "rules/RulesFile.h"

namespace wrenpost {

void MonitorRules::Reload(const std::filesystem::path& rulesPath, const LogLine& log,
                          const std::wstring&) {
    enabled_ = false;
    active_.clear();
    RulesFile file;
    try {
        if (LoadRulesFile(rulesPath, file) == RuleLoadResult::Corrupt) {
            log(L"Notification Rules file is corrupted and could not be read: " +
                rulesPath.wstring() +
                L". Rules disabled for this session; using default behavior.");
            file = RulesFile();
        }
        active_ = PrepareMonitorRules(file);
    } catch (...) {
        log(L"Notification Rules failed to load unexpectedly. Rules disabled for this session; "
            L"using default behavior.");
        file = RulesFile();
        active_.clear();
    }
    enabled_ = file.Enabled;
    const std::wstring count = ToWideDecimal(static_cast<long long>(file.Rules.size()));
    log(L"Notification Rules loaded: " + count + L" rules.");
    log(enabled_ ? L"Notification Rules enabled." : L"Notification Rules disabled.");
    if (!enabled_ && !file.Rules.empty()) {
        log(L"WARNING: " + count +
            L" notification rule(s) are configured for this profile but Notification Rules is "
            L"turned OFF - every incoming email will be sent with no rule filtering applied. "
            L"Enable Notification Rules in Advanced to activate them.");
    }
}

RuleDecision MonitorRules::Evaluate(const MailSnapshot& message) const {
    return EvaluateRules(active_, message);
}

}  // namespace wrenpost
