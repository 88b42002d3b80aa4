// libFuzzer target: the rule package reader on arbitrary bytes, then the import into a small
// rule list in every mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/TextFile.h"
#include "rules/RulePackage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace wrenpost;
    const std::wstring text =
        DecodeTextFile(std::string_view(reinterpret_cast<const char*>(data), size));
    RulePackage package;
    if (ParseRulePackageText(text, package) != RuleLoadResult::Loaded) {
        return 0;
    }
    for (const ImportMode mode : {ImportMode::NewRules, ImportMode::Merge, ImportMode::Replace}) {
        std::vector<NotificationRule> rules(2);
        rules[0].Id = L"R4";
        rules[1].Name = package.Name;
        ImportPackageRules(rules, package, mode);
        if (mode == ImportMode::Replace && rules.size() != package.Rules.size()) {
            std::abort();
        }
    }
    RulePackage again;
    if (ParseRulePackageText(DecodeTextFile(EncodeTextFile(FormatRulePackage(package))), again) !=
            RuleLoadResult::Loaded ||
        !(again == package)) {
        std::abort();
    }
    (void)DescribeRulePackage(package);
    (void)ProposedPackageFileName(package.Name);
    return 0;
}
