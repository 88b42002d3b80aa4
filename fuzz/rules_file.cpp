// libFuzzer target: the Rules.json reader on arbitrary bytes, decoded as the file loader does.
// Whatever loads must save and load back to the same rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/TextFile.h"
#include "rules/RulesFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace wrenpost;
    const std::wstring text =
        DecodeTextFile(std::string_view(reinterpret_cast<const char*>(data), size));
    RulesFile file;
    if (ParseRulesFileText(text, file) != RuleLoadResult::Loaded) {
        return 0;
    }
    RulesFile again;
    if (ParseRulesFileText(DecodeTextFile(EncodeTextFile(FormatRulesFile(file))), again) !=
            RuleLoadResult::Loaded ||
        !(again == file)) {
        std::abort();
    }
    return 0;
}
