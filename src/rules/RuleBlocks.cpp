// Writer and reader of rule blocks (see RuleBlocks.h).
#include "rules/RuleBlocks.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "rules/RuleJsonReaders.h"

namespace wrenpost {
namespace {

void Indent(std::wstring& out, std::size_t spaces) { out.append(spaces, L' '); }

void AppendKey(std::wstring& out, std::size_t indent, std::wstring_view key) {
    Indent(out, indent);
    out.push_back(L'"');
    out.append(key);
    out.append(L"\": ");
}

void AppendBoolMember(std::wstring& out, std::size_t indent, std::wstring_view key, bool value) {
    AppendKey(out, indent, key);
    out.append(value ? L"true" : L"false");
}

void AppendIntMember(std::wstring& out, std::size_t indent, std::wstring_view key,
                     std::int32_t value) {
    AppendKey(out, indent, key);
    out.append(ToWideDecimal(value));
}

void EndMember(std::wstring& out, bool last) { out.append(last ? L"\n" : L",\n"); }

void AppendConditions(std::wstring& out, const std::vector<RuleCondition>& conditions,
                      RuleBlockKind kind) {
    AppendKey(out, 12, L"Conditions");
    if (conditions.empty()) {
        out.append(L"[],\n");
        return;
    }
    out.append(L"[\n");
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const RuleCondition& c = conditions[i];
        Indent(out, 16);
        out.append(L"{\n");
        AppendStringMember(out, 20, L"Field", c.Field);
        EndMember(out, false);
        AppendStringMember(out, 20, L"Operator", c.Operator);
        EndMember(out, false);
        AppendStringMember(out, 20, L"Value", c.Value);
        if (kind == RuleBlockKind::RulesFile) {
            EndMember(out, false);
            AppendBoolMember(out, 20, L"CaseSensitive", c.CaseSensitive);
        }
        EndMember(out, true);
        Indent(out, 16);
        out.push_back(L'}');
        EndMember(out, i + 1 == conditions.size());
    }
    Indent(out, 12);
    out.append(L"],\n");
}

void AppendActions(std::wstring& out, const std::vector<RuleAction>& actions) {
    AppendKey(out, 12, L"Actions");
    if (actions.empty()) {
        out.append(L"[]\n");
        return;
    }
    out.append(L"[\n");
    for (std::size_t i = 0; i < actions.size(); ++i) {
        Indent(out, 16);
        out.append(L"{\n");
        AppendStringMember(out, 20, L"Type", actions[i].Type);
        EndMember(out, false);
        AppendStringMember(out, 20, L"Value", actions[i].Value);
        EndMember(out, true);
        Indent(out, 16);
        out.push_back(L'}');
        EndMember(out, i + 1 == actions.size());
    }
    Indent(out, 12);
    out.append(L"]\n");
}

void AppendRuleBlock(std::wstring& out, const NotificationRule& rule, RuleBlockKind kind) {
    Indent(out, 8);
    out.append(L"{\n");
    AppendStringMember(out, 12, L"Id", rule.Id);
    EndMember(out, false);
    AppendStringMember(out, 12, L"Name", rule.Name);
    EndMember(out, false);
    AppendBoolMember(out, 12, L"Enabled", rule.Enabled);
    EndMember(out, false);
    AppendIntMember(out, 12, L"Order", rule.Order);
    EndMember(out, false);
    AppendIntMember(out, 12, L"Version", rule.Version);
    EndMember(out, false);
    if (kind == RuleBlockKind::RulesFile) {
        AppendStringMember(out, 12, L"FolderPath", rule.FolderPath);
        EndMember(out, false);
    }
    AppendStringMember(out, 12, L"ConditionLogic", rule.ConditionLogic);
    EndMember(out, false);
    AppendConditions(out, rule.Conditions, kind);
    AppendActions(out, rule.Actions);
    Indent(out, 8);
    out.push_back(L'}');
}

bool ReadInt(std::wstring_view text, std::wstring_view key, std::int32_t fallback,
             std::int32_t& value) {
    std::int32_t read = 0;
    switch (ReadSignedIntField(text, key, read)) {
        case IntFieldRead::Read: value = read; return true;
        case IntFieldRead::Absent: value = fallback; return true;
        case IntFieldRead::OutOfRange: return false;
    }
    return false;
}

void ReadLegacyActions(std::wstring_view own, std::vector<RuleAction>& actions) {
    const std::wstring action = ReadJsonStringField(own, L"Action");
    if (action.empty()) {
        return;
    }
    if (action == kActionSend) {
        std::wstring title = ReadJsonStringField(own, L"NotificationTitle");
        if (!title.empty()) {
            actions.push_back({std::wstring(kActionOverrideTitle), std::move(title)});
        }
        actions.push_back({std::wstring(kActionSend), L""});
    } else {
        actions.push_back({action, L""});
    }
}

bool ReadRuleObject(std::wstring_view text, RuleBlockKind kind, NotificationRule& rule) {
    rule = NotificationRule{};
    rule.Id = ReadJsonStringField(text, L"Id");
    rule.Name = ReadJsonStringField(text, L"Name");
    rule.Enabled = ReadJsonBoolField(text, L"Enabled", true);
    if (!ReadInt(text, L"Order", 0, rule.Order) || !ReadInt(text, L"Version", 1, rule.Version)) {
        return false;
    }
    if (kind == RuleBlockKind::RulesFile) {
        rule.FolderPath = ReadJsonStringField(text, L"FolderPath");
    }
    rule.ConditionLogic = ReadJsonStringField(text, L"ConditionLogic");
    if (rule.ConditionLogic.empty()) {
        rule.ConditionLogic = kLogicAll;
    }

    // The older layout keeps one condition and one action as members of the rule itself;
    // only the rule's own members count, not those of its nested arrays.
    std::wstring own;
    const bool acceptLegacy = kind == RuleBlockKind::RulesFile;

    const std::wstring_view conditions = ReadJsonArrayField(text, L"Conditions");
    if (!conditions.empty()) {
        for (const std::wstring_view object : SplitJsonObjects(conditions)) {
            RuleCondition condition;
            condition.Field = ReadJsonStringField(object, L"Field");
            condition.Operator = ReadJsonStringField(object, L"Operator");
            condition.Value = ReadJsonStringField(object, L"Value");
            condition.CaseSensitive = kind == RuleBlockKind::RulesFile &&
                                      ReadJsonBoolField(object, L"CaseSensitive", false);
            rule.Conditions.push_back(std::move(condition));
        }
    } else if (acceptLegacy) {
        own = OwnMembersOf(text);
        RuleCondition condition;
        condition.Field = ReadJsonStringField(own, L"Field");
        condition.Operator = ReadJsonStringField(own, L"Operator");
        condition.Value = ReadJsonStringField(own, L"Value");
        if (!condition.Field.empty() || !condition.Operator.empty() || !condition.Value.empty()) {
            rule.Conditions.push_back(std::move(condition));
        }
    }

    const std::wstring_view actions = ReadJsonArrayField(text, L"Actions");
    if (!actions.empty()) {
        for (const std::wstring_view object : SplitJsonObjects(actions)) {
            rule.Actions.push_back(
                {ReadJsonStringField(object, L"Type"), ReadJsonStringField(object, L"Value")});
        }
    } else if (acceptLegacy) {
        if (own.empty()) {
            own = OwnMembersOf(text);
        }
        ReadLegacyActions(own, rule.Actions);
    }
    return true;
}

}  // namespace

void AppendStringMember(std::wstring& out, std::size_t indent, std::wstring_view key,
                        std::wstring_view value) {
    AppendKey(out, indent, key);
    out.push_back(L'"');
    out.append(JsonEscape(value));
    out.push_back(L'"');
}

void AppendRulesMember(std::wstring& out, const std::vector<NotificationRule>& rules,
                       RuleBlockKind kind) {
    AppendKey(out, 4, L"Rules");
    if (rules.empty()) {
        out.append(L"[]\n");
        return;
    }
    out.append(L"[\n");
    for (std::size_t i = 0; i < rules.size(); ++i) {
        AppendRuleBlock(out, rules[i], kind);
        EndMember(out, i + 1 == rules.size());
    }
    Indent(out, 4);
    out.append(L"]\n");
}

bool ReadRulesMember(std::wstring_view text, RuleBlockKind kind,
                     std::vector<NotificationRule>& rules) {
    std::vector<NotificationRule> read;
    for (const std::wstring_view object : SplitJsonObjects(ReadJsonArrayField(text, L"Rules"))) {
        NotificationRule rule;
        if (!ReadRuleObject(object, kind, rule)) {
            return false;
        }
        read.push_back(std::move(rule));
    }
    rules = std::move(read);
    return true;
}

}  // namespace wrenpost
