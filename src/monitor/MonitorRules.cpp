// Interim rules step: behaves as a profile without a rules file until the rules reader is wired.
#include "monitor/MonitorRules.h"

namespace wrenpost {

void MonitorRules::Reload(const std::filesystem::path&, const LogLine& log) {
    enabled_ = false;
    log(L"Notification Rules loaded: 0 rules.");
    log(L"Notification Rules disabled.");
}

MonitorRuleVerdict MonitorRules::Evaluate(const MailSnapshot&) const {
    MonitorRuleVerdict verdict;
    verdict.Reason = L"No rules configured";
    return verdict;
}

}  // namespace wrenpost
