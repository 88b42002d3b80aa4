// Writing and reading Rules.json, and recreating a corrupt one.
#include "rules/RulesFile.h"

#include <ctime>
#include <new>

#include "common/JsonText.h"
#include "common/Prompt.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "rules/RuleBlocks.h"
#include "rules/RuleJsonReaders.h"
#include "rules/RulesFileSave.h"

namespace wrenpost {

std::wstring PathText(const std::filesystem::path& path) {
    return path.wstring();
}

std::wstring FormatRulesFile(const RulesFile& file) {
    std::wstring out;
    out.reserve(64 + file.Rules.size() * 512);
    out.append(L"{\n    \"Version\": ");
    out.append(ToWideDecimal(file.Version));
    out.append(L",\n    \"Enabled\": ");
    out.append(file.Enabled ? L"true" : L"false");
    out.append(L",\n");
    AppendRulesMember(out, file.Rules, RuleBlockKind::RulesFile);
    out.append(L"}\n");
    return out;
}

RuleLoadResult ParseRulesFileText(std::wstring_view text, RulesFile& file) {
    if (IsBlankFileText(text)) {
        return RuleLoadResult::Missing;
    }
    if (text.find(L"\"Version\"") == std::wstring_view::npos ||
        text.find(L"\"Rules\"") == std::wstring_view::npos || !HasBalancedBrackets(text)) {
        return RuleLoadResult::Corrupt;
    }
    RulesFile read;
    std::int32_t version = 0;
    switch (ReadSignedIntField(text, L"Version", version)) {
        case IntFieldRead::Read:
            read.Version = version;
            break;
        case IntFieldRead::Absent:
            read.Version = 1;
            break;
        case IntFieldRead::OutOfRange:
            return RuleLoadResult::Corrupt;
    }
    read.Enabled = ReadJsonBoolField(text, L"Enabled", false);
    if (!ReadRulesMember(text, RuleBlockKind::RulesFile, read.Rules)) {
        return RuleLoadResult::Corrupt;
    }
    file = std::move(read);
    return RuleLoadResult::Loaded;
}

bool WriteRulesText(const std::filesystem::path& path, const std::wstring& text,
                    const wchar_t* whatFile, std::wstring* error) {
    if (path.empty()) {
        if (error) {
            *error = std::wstring(L"No ") + whatFile + L" path";
        }
        return false;
    }
    try {
        return WriteTextFileAtomically(path, text, error);
    } catch (const std::exception&) {
        if (error) {
            *error = L"Could not write " + PathText(path);
        }
        return false;
    }
}

RuleLoadResult ReadRulesText(const std::filesystem::path& path, std::wstring& text,
                             std::wstring* reason) {
    FileReadFailure failure;
    try {
        if (ReadTextFile(path, text, &failure)) {
            return RuleLoadResult::Loaded;
        }
    } catch (const std::exception&) {
        // Out of memory says nothing about the file; it may hold rules, so it is not Missing.
        failure = {false, L"unexpected error"};
    }
    if (failure.absent) {
        return RuleLoadResult::Missing;
    }
    if (reason) {
        *reason = failure.reason;
    }
    return RuleLoadResult::Unreadable;
}

bool SaveRulesFile(const std::filesystem::path& path, const RulesFile& file, std::wstring* error) {
    return WriteRulesText(path, FormatRulesFile(file), L"rules file", error);
}

RuleLoadResult LoadRulesFile(const std::filesystem::path& path, RulesFile& file,
                             std::wstring* reason) {
    std::wstring text;
    if (const RuleLoadResult read = ReadRulesText(path, text, reason);
        read != RuleLoadResult::Loaded) {
        return read;
    }
    try {
        return ParseRulesFileText(text, file);
    } catch (const std::exception&) {
        return RuleLoadResult::Corrupt;
    }
}

bool RecreateCorruptRulesFile(const std::filesystem::path& rulesPath, const LogFunction& log) {
    const std::wstring shown = PathText(rulesPath);
    if (!BackUpCorruptRulesFile(rulesPath, std::time(nullptr), log)) {
        return false;
    }
    if (!SaveRulesFile(rulesPath, RulesFile{})) {
        if (log) {
            log(LogLevel::Error, L"Failed to save rules: " + shown);
        }
        return false;
    }
    if (log) {
        log(LogLevel::Info, L"Rules recreated: " + shown);
    }
    return true;
}

CorruptRulesChoice HandleCorruptRulesFile(const std::filesystem::path& rulesPath,
                                          std::uintptr_t owner, const LogFunction& log) {
    if (log) {
        log(LogLevel::Error, L"Rules parse error: " + PathText(rulesPath));
    }
    PromptRequest request;
    request.owner = owner;
    request.caption = kRulesDialogCaption;
    request.text = kRulesCorruptQuestion;
    request.icon = PromptIcon::Question;
    request.buttons = PromptButtons::YesNo;
    if (ShowPrompt(request) != PromptAnswer::Yes) {
        return CorruptRulesChoice::Declined;
    }
    return RecreateCorruptRulesFile(rulesPath, log) ? CorruptRulesChoice::Recreated
                                                    : CorruptRulesChoice::RecreateFailed;
}

}  // namespace wrenpost
