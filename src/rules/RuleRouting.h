// Routing by rule: the chat ids a "Send To Recipients" action names, whom a routed mail reaches,
// how the editors name them, and what an imported package may keep of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "profile/ProfileConfig.h"
#include "rules/RuleModel.h"

namespace wrenpost {

// The chat ids of an action's value: each trimmed, empty parts and repeats left out.
std::vector<std::wstring> SplitChatIds(std::wstring_view value);
// The stored value: the ids joined by commas, no spaces.
std::wstring JoinChatIds(const std::vector<std::wstring>& chatIds);

struct RoutedRecipients {
    std::vector<std::wstring> ChatIds;  // in the order of `allowed`
    // Rules whose routing names none of the allowed recipients, each once, in rule order.
    std::vector<std::wstring> RulesNamingNoneAllowed;
};

// Whom a decision to send reaches among `allowed` (the chat ids allowed now, in profile order):
// all of them without routes, otherwise those named by any route (the union).
RoutedRecipients RouteRecipients(const RuleDecision& decision,
                                 const std::vector<std::wstring>& allowed);

// "Dana, Finance": each chat id of the value by the recipient's display name; an id that is no
// recipient of the profile, or one without a name, reads as the id.
std::wstring RecipientNamesText(std::wstring_view value,
                                const std::vector<RecipientEntry>& recipients);

// For an imported package: removes from every "Send To Recipients" action the chat ids that are
// not among `known` (the profile's recipients), and an action left naming nobody. Returns the
// names of the rules whose routing changed, in rule order.
std::vector<std::wstring> KeepKnownRecipients(std::vector<NotificationRule>& rules,
                                              const std::vector<std::wstring>& known);

// Whether any rule routes to chat ids (an export then carries them).
bool CarriesChatIds(const std::vector<NotificationRule>& rules);

}  // namespace wrenpost
