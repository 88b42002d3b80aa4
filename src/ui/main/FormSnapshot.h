// What the main window's form holds, as SAVE would store it, kept at the last SAVE, LOAD or
// CLEAR so that LOAD, CLEAR and closing the window can tell whether they would lose work.
#pragma once

#include <string>

#include "profile/ProfileConfig.h"
#include "rules/RuleModel.h"

namespace wrenpost {

struct FormSnapshot {
    ProfileConfig config;
    std::wstring token;
    RulesFile rules;
};

// True when `now` holds anything SAVE would store differently from `kept`. A recipient's last
// notification time is the monitor's bookkeeping, written back by the monitor itself; the
// order of the ticked folders is the tree's, not the user's.
bool FormChanged(const FormSnapshot& kept, const FormSnapshot& now);

// "Save changes to <name>?", or to "this profile" while the form has no name.
std::wstring SaveChangesQuestion(const std::wstring& profileName);
// The log's note when Windows ends the session over a changed form: nothing can be asked.
std::wstring UnsavedAtSessionEndNote(const std::wstring& profileName);

}  // namespace wrenpost
