// The Notification Rules records shared by the monitor, the rules file, packages and the rule
// dialogs, with the stored names of fields, operators and action types.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

// Stored names, which are also the texts the editors offer (in this order).
inline constexpr std::wstring_view kFieldSubject = L"Subject";
inline constexpr std::wstring_view kFieldSender = L"Sender";
inline constexpr std::wstring_view kRuleFields[] = {kFieldSubject, kFieldSender};

inline constexpr std::wstring_view kOperatorContains = L"Contains";
inline constexpr std::wstring_view kOperatorEquals = L"Equals";
inline constexpr std::wstring_view kOperatorStartsWith = L"Starts With";
inline constexpr std::wstring_view kOperatorEndsWith = L"Ends With";
inline constexpr std::wstring_view kOperatorDoesNotContain = L"Does Not Contain";
inline constexpr std::wstring_view kRuleOperators[] = {kOperatorContains, kOperatorEquals,
                                                       kOperatorStartsWith, kOperatorEndsWith,
                                                       kOperatorDoesNotContain};

inline constexpr std::wstring_view kActionSend = L"Send Telegram Notification";
inline constexpr std::wstring_view kActionOverrideTitle = L"Override Notification Title";
inline constexpr std::wstring_view kActionIgnore = L"Ignore Email";
inline constexpr std::wstring_view kActionStop = L"Stop Processing";
inline constexpr std::wstring_view kActionContinue = L"Continue Processing";
// Both also send, as "Send Telegram Notification" does.
inline constexpr std::wstring_view kActionSendToRecipients = L"Send To Recipients";
inline constexpr std::wstring_view kActionSendSilently = L"Send Silently";
inline constexpr std::wstring_view kRuleActionTypes[] = {
    kActionSend,     kActionOverrideTitle,    kActionIgnore,      kActionStop,
    kActionContinue, kActionSendToRecipients, kActionSendSilently};

inline constexpr std::wstring_view kLogicAll = L"All";
inline constexpr std::wstring_view kLogicAny = L"Any";

struct RuleCondition {
    std::wstring Field;
    std::wstring Operator;
    std::wstring Value;
    bool CaseSensitive = false;

    bool operator==(const RuleCondition&) const = default;
};

struct RuleAction {
    std::wstring Type;
    // The new title for "Override Notification Title", the comma-separated chat ids for "Send To
    // Recipients"; empty otherwise. Types this version does not know keep their value as read.
    std::wstring Value;

    bool operator==(const RuleAction&) const = default;
};

// Every member has an initializer, so a designated initializer names only what differs.
struct NotificationRule {
    std::wstring Id{};
    std::wstring Name{};
    bool Enabled = true;
    std::int32_t Order = 0;
    std::int32_t Version = 1;
    std::wstring FolderPath{};  // a SelectedFolder path; empty applies to no folder
    std::wstring ConditionLogic = std::wstring(kLogicAll);
    std::vector<RuleCondition> Conditions{};
    std::vector<RuleAction> Actions{};

    bool operator==(const NotificationRule&) const = default;
};

struct RulesFile {
    std::int32_t Version = 1;
    bool Enabled = false;  // the master switch
    std::vector<NotificationRule> Rules{};

    bool operator==(const RulesFile&) const = default;
};

// One matched "Send To Recipients" action: the rule that routes and the chat ids it names.
struct RuleRoute {
    std::wstring RuleName;
    std::vector<std::wstring> ChatIds;

    bool operator==(const RuleRoute&) const = default;
};

// The outcome of one evaluation; the initial values are also the fallback when evaluation fails.
struct RuleDecision {
    bool ShouldSend = true;
    std::wstring FinalAction;
    std::wstring TitleOverride;
    std::wstring MatchedRuleName;
    std::wstring Reason;
    bool ContinueProcessing = true;
    // Of the sends after the last "Ignore Email"; both stay empty when nothing is sent. No routes:
    // every allowed recipient.
    std::vector<RuleRoute> Routes{};
    bool Silent = false;

    bool operator==(const RuleDecision&) const = default;
};

}  // namespace wrenpost
