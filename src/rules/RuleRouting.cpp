// Routing by rule (see RuleRouting.h).
#include "rules/RuleRouting.h"

#include <algorithm>

#include "common/Text.h"

namespace wrenpost {
namespace {

bool Contains(const std::vector<std::wstring>& list, std::wstring_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

bool RoutesTo(const NotificationRule& rule) {
    return std::any_of(rule.Actions.begin(), rule.Actions.end(), [](const RuleAction& a) {
        return a.Type == kActionSendToRecipients && !a.Value.empty();
    });
}

}  // namespace

std::vector<std::wstring> SplitChatIds(std::wstring_view value) {
    std::vector<std::wstring> ids;
    while (!value.empty()) {
        const std::size_t comma = std::min(value.find(L','), value.size());
        std::wstring id = TrimWhitespace(value.substr(0, comma));
        if (!id.empty() && !Contains(ids, id)) {
            ids.push_back(std::move(id));
        }
        value.remove_prefix(std::min(comma + 1, value.size()));
    }
    return ids;
}

std::wstring JoinChatIds(const std::vector<std::wstring>& chatIds) {
    std::wstring value;
    for (const std::wstring& id : chatIds) {
        if (!value.empty()) {
            value.push_back(L',');
        }
        value.append(id);
    }
    return value;
}

RoutedRecipients RouteRecipients(const RuleDecision& decision,
                                 const std::vector<std::wstring>& allowed) {
    RoutedRecipients routed;
    if (decision.Routes.empty()) {
        routed.ChatIds = allowed;
        return routed;
    }
    for (const RuleRoute& route : decision.Routes) {
        const bool namesAllowed =
            std::any_of(route.ChatIds.begin(), route.ChatIds.end(),
                        [&](const std::wstring& id) { return Contains(allowed, id); });
        if (!namesAllowed && !Contains(routed.RulesNamingNoneAllowed, route.RuleName)) {
            routed.RulesNamingNoneAllowed.push_back(route.RuleName);
        }
    }
    for (const std::wstring& id : allowed) {
        if (std::any_of(decision.Routes.begin(), decision.Routes.end(),
                        [&](const RuleRoute& route) { return Contains(route.ChatIds, id); })) {
            routed.ChatIds.push_back(id);
        }
    }
    return routed;
}

std::wstring RecipientNamesText(std::wstring_view value,
                                const std::vector<RecipientEntry>& recipients) {
    std::wstring text;
    for (const std::wstring& id : SplitChatIds(value)) {
        const auto entry = std::find_if(recipients.begin(), recipients.end(),
                                        [&](const RecipientEntry& r) { return r.ChatId == id; });
        if (!text.empty()) {
            text.append(L", ");
        }
        text.append(entry != recipients.end() && !entry->DisplayName.empty() ? entry->DisplayName
                                                                             : id);
    }
    return text;
}

std::vector<std::wstring> KeepKnownRecipients(std::vector<NotificationRule>& rules,
                                              const std::vector<std::wstring>& known) {
    std::vector<std::wstring> changed;
    for (NotificationRule& rule : rules) {
        bool routingChanged = false;
        for (RuleAction& action : rule.Actions) {
            if (action.Type != kActionSendToRecipients) {
                continue;
            }
            std::vector<std::wstring> ids = SplitChatIds(action.Value);
            const std::size_t named = ids.size();
            std::erase_if(ids, [&](const std::wstring& id) { return !Contains(known, id); });
            if (ids.size() != named || ids.empty()) {
                routingChanged = true;
                action.Value = JoinChatIds(ids);
            }
        }
        std::erase_if(rule.Actions, [](const RuleAction& a) {
            return a.Type == kActionSendToRecipients && a.Value.empty();
        });
        if (routingChanged) {
            changed.push_back(rule.Name);
        }
    }
    return changed;
}

bool CarriesChatIds(const std::vector<NotificationRule>& rules) {
    return std::any_of(rules.begin(), rules.end(), RoutesTo);
}

}  // namespace wrenpost
