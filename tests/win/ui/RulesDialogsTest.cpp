// The rules windows driven in this process: steps run inside their modal loops, prompts and file
// dialogs are answered through the seams, and the rules file on disk is checked afterwards.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppStateStore_win.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "support/Screenshot_win.h"
#include "support/TempDir.h"
#include "ui/ModalLoop_win.h"
#include "ui/rules/RuleEditors_win.h"
#include "ui/rules/RulePackageDialogs_win.h"
#include "ui/rules/RulesDialog_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

struct Step {
    const wchar_t* dialogClass;
    std::function<void(HWND)> act;
};

// Each step runs once a window of its class is the innermost open dialog. Steps only post, so
// the dialogs they open run in their own loops, not inside this timer.
void Script(const std::vector<Step>& steps) {
    std::vector<std::function<bool()>> played;
    for (const Step& step : steps) {
        played.push_back([step] {
            wchar_t name[80] = L"";
            HWND active = ActiveModalDialog();
            const bool ready = active != nullptr && GetClassNameW(active, name, 80) > 0 &&
                               std::wstring(name) == step.dialogClass;
            if (ready) {
                step.act(active);
            }
            return ready;
        });
    }
    WhenReadyInTurn(std::move(played));
}

void Pick(HWND dialog, int box, int index) {
    SendMessageW(Nth(dialog, L"ComboBox", box), CB_SETCURSEL, index, 0);
}

std::wstring CellText(HWND dialog, int list, int row, int column) {
    wchar_t text[200] = L"";
    ListView_GetItemText(Nth(dialog, WC_LISTVIEWW, list), row, column, text, 200);
    return text;
}

const char kDamaged[] = "{ \"Version\": 1, \"Rules\": [";

const std::vector<RecipientEntry> kRecipients = {{L"1", L"Dana", true, L"", L""},
                                                 {L"2", L"Finance", false, L"", L""}};

RuleAction To(const wchar_t* chatIds) {
    return {std::wstring(kActionSendToRecipients), chatIds};
}

void SelectRow(HWND dialog, int list, int row) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Nth(dialog, WC_LISTVIEWW, list), LVM_SETITEMSTATE, row,
                 reinterpret_cast<LPARAM>(&item));
}

// The steps that add a rule in folder 0: condition Subject / Starts With / RE:, then `actions`;
// then the steps `after` the rule editor's Save.
std::vector<Step> AddRule(std::vector<int> actions, std::vector<Step> after) {
    std::vector<Step> steps = {{kRulesDialogClass, [](HWND d) { Press(d, kRulesAddId); }},
                               {kRuleEditorClass,
                                [](HWND d) {
                                    Pick(d, 0, 0);
                                    Press(d, kRuleAddConditionId);
                                }},
                               {kConditionEditorClass, [](HWND d) {
                                    testing::SaveScreenshot(d, L"rules-condition-editor");
                                    Pick(d, 0, 0);
                                    Pick(d, 1, 2);
                                    SetWindowTextW(Nth(d, L"Edit", 0), L" RE: ");
                                    Press(d, IDOK);
                                }}};
    for (int type : actions) {
        steps.push_back({kRuleEditorClass, [](HWND d) { Press(d, kRuleAddActionId); }});
        steps.push_back({kActionEditorClass, [type](HWND d) {
                             testing::SaveScreenshot(d, L"rules-action-editor");
                             Pick(d, 0, type);
                             SetWindowTextW(Nth(d, L"Edit", 0), L"Title");
                             Press(d, IDOK);
                         }});
    }
    steps.push_back({kRuleEditorClass, [](HWND d) {
                         testing::SaveScreenshot(d, L"rules-rule-editor");
                         Press(d, IDOK);
                     }});
    steps.insert(steps.end(), after.begin(), after.end());
    return steps;
}

NotificationRule Rule(const wchar_t* name, bool enabled, const wchar_t* folder = L"\\\\Box\\In") {
    return {.Id = name,
            .Name = name,
            .Enabled = enabled,
            .FolderPath = folder,
            .Conditions = {{L"Subject", L"Contains", L"x", false}},
            .Actions = {{std::wstring(kActionSend), L""}}};
}

class RulesDialogsTest : public MainWindowFixture {
public:
    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(SetSuppressMasterToggleReminder(false));
        Open();
    }

    // Opens the rules window over the main window on `path` (or on `rules_` alone when empty)
    // and runs `steps`, the last of which must close it.
    void Run(std::vector<Step> steps, const std::filesystem::path& path) {
        Script(std::move(steps));
        RulesDialogRequest request;
        request.rules = &rules_;
        request.rulesPath = path;
        request.folders = {Folder(L"Box", L"\\\\Box\\In"), Folder(L"Box", L"\\\\Box\\In\\Orders")};
        request.recipients = kRecipients;
        request.log = [this](LogLevel, const std::wstring& text) { log_.push_back(text); };
        request.pickFile = [this](HWND, const FileDialogRequest& asked,
                                  std::filesystem::path& picked) {
            picked = dir_ / (asked.save ? asked.fileName + L"." + asked.defaultExtension
                                        : std::wstring(L"MyRules.wprules"));
            return true;
        };
        ShowNotificationRulesDialog(window_->Window(), std::move(request));
        ExpectEveryStepRan();
    }

    RulesFile OnDisk() {
        RulesFile file;
        EXPECT_EQ(LoadRulesFile(path_, file), RuleLoadResult::Loaded);
        return file;
    }

    // Runs the window over `rules` on disk (a damaged file when empty), answering `answers`; checks
    // the prompts' first lines and that the file is switched on, in order and the owner's copy.
    RulesFile RunOverFile(const std::vector<NotificationRule>& rules, std::vector<Step> steps,
                          const std::vector<PromptAnswer>& answers,
                          const std::vector<std::wstring>& prompted) {
        if (rules.empty()) {
            testing::WriteAllBytes(path_, kDamaged);
        } else {
            EXPECT_TRUE(SaveRulesFile(path_, {.Rules = rules}));
        }
        log_.clear();
        testing::PromptRecorder prompts;
        for (PromptAnswer answer : answers) {
            prompts.QueueAnswer(answer);
        }
        Run(std::move(steps), path_);
        EXPECT_EQ(FirstLines(prompts), prompted);
        const RulesFile disk = OnDisk();
        EXPECT_TRUE(disk.Enabled);
        for (std::size_t i = 0; i < disk.Rules.size(); ++i) {
            EXPECT_EQ(disk.Rules[i].Order, static_cast<int>(i + 1));
        }
        EXPECT_EQ(rules_, disk);
        return disk;
    }

    static std::vector<std::wstring> Names(const RulesFile& file) {
        std::vector<std::wstring> names;
        for (const NotificationRule& rule : file.Rules) {
            names.push_back(rule.Name);
        }
        return names;
    }

protected:
    testing::TempDir dir_;
    std::filesystem::path path_ = dir_ / L"WorkRules.json";
    RulesFile rules_;
    std::vector<std::wstring> log_;
};

Step Close() {
    return {kRulesDialogClass, [](HWND d) { Press(d, IDOK); }};
}

Step ClickMaster() {
    return {kRulesDialogClass, [](HWND d) { Press(d, kRulesMasterId); }};
}

// Selects a row of the rules list and presses `button`.
Step OnRow(int row, int button) {
    return {kRulesDialogClass, [row, button](HWND d) {
                SelectRow(d, 0, row);
                Press(d, button);
            }};
}

TEST_F(RulesDialogsTest, RulesButtonNeedsAFolder) {
    Click(kIdRules);
    EXPECT_EQ(
        FirstLines(prompts_),
        std::vector<std::wstring>{L"Select at least one Outlook folder before setting up rules."});
}

// What the switch and the rule editor's Save (in add mode; indexes of action types) refuse: the
// file stays as it was.
TEST_F(RulesDialogsTest, Refusals) {
    const Step cancel = {kRuleEditorClass, [](HWND d) { Press(d, IDCANCEL); }};
    const struct {
        std::vector<NotificationRule> rules;
        std::vector<Step> steps;
        std::wstring refusal;
    } cases[] = {
        {{}, {ClickMaster(), Close()}, L"No notification rules exist."},
        {{Rule(L"R1", false)}, {ClickMaster(), Close()}, L"No notification rules are enabled."},
        {{},
         AddRule({0, 2}, {cancel, Close()}),
         L"This rule contains both Ignore Email and Send Telegram Notification."},
        {{}, AddRule({}, {cancel, Close()}), L"Please add at least one action."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        ASSERT_TRUE(SaveRulesFile(path_, {.Rules = c.rules}));
        testing::PromptRecorder prompts;
        Run(c.steps, path_);
        EXPECT_EQ(FirstLines(prompts), std::vector<std::wstring>{c.refusal});
        EXPECT_EQ(Names(OnDisk()), Names({.Rules = c.rules}));
        EXPECT_FALSE(OnDisk().Enabled);
        EXPECT_FALSE(rules_.Enabled);
    }
}

// The rules window over a file on disk: each case starts from `rules` (switch off) and ends with
// the window closed; the prompts asked and the file left behind are checked.
TEST_F(RulesDialogsTest, RulesWindowChanges) {
    const struct {
        const char* name;
        std::vector<NotificationRule> rules;
        std::vector<Step> steps;
        std::vector<PromptAnswer> answers;
        std::vector<std::wstring> prompts;  // first lines, in order
        std::vector<std::wstring> namesOnDisk;
    } cases[] = {
        {"move up renumbers and saves the new order",
         {Rule(L"A", true), Rule(L"B", true)},
         {OnRow(1, kRulesUpId), ClickMaster(), Close()},
         {},
         {},
         {L"B", L"A"}},
        {"a failed save is shown and saved by the next change",
         {Rule(L"A", true), Rule(L"B", true)},
         {{kRulesDialogClass,
           [this](HWND d) {
               // A folder in the file's place: wine replaces even a read-only file.
               std::filesystem::remove(path_);
               std::filesystem::create_directory(path_);
               SelectRow(d, 0, 1);
               Press(d, kRulesUpId);
           }},
          {kRulesDialogClass,
           [this](HWND d) {
               std::filesystem::remove(path_);
               Press(d, kRulesMasterId);
           }},
          Close()},
         {},
         {RulesUnreadableMessage(path_)},  // a folder there cannot be read: nothing is written
         {L"B", L"A"}},
        {"a corrupt file declined, then saved, is backed up first; a first rule switches on",
         {},
         AddRule({0, 3}, {Close()}),
         {PromptAnswer::No},
         {L"The rules file is corrupted."},
         {L"Subject starts with RE:"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RulesFile disk = RunOverFile(c.rules, c.steps, c.answers, c.prompts);
        EXPECT_EQ(Names(disk), c.namesOnDisk);
        if (c.rules.empty()) {  // the rule AddRule made, with its folder and both actions
            EXPECT_EQ(disk.Rules[0].FolderPath, L"\\\\Box\\In");
            EXPECT_EQ(disk.Rules[0].Actions.size(), 2u);
            const auto backups = testing::DatedBackups(path_);
            ASSERT_EQ(backups.size(), 1u);
            EXPECT_EQ(testing::ReadAllBytes(backups[0]), kDamaged);
        }
    }
}

// Enter on the delete question answers No, so a double Enter never loses a rule.
TEST_F(RulesDialogsTest, TheDeleteQuestionDefaultsToNo) {
    ASSERT_TRUE(SaveRulesFile(path_, {.Rules = {Rule(L"A", true)}}));
    prompts_.QueueAnswer(PromptAnswer::No);
    Run({OnRow(0, kRulesDeleteId), Close()}, path_);
    const auto asked = prompts_.Requests();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].text, L"Are you sure you want to delete this rule?");
    EXPECT_EQ(asked[0].defaultButton, PromptRequest::Default::Second);
    EXPECT_EQ(Names(OnDisk()), std::vector<std::wstring>{L"A"});
}

// A rules file that cannot be read keeps the window's rules on show, is never written, and each
// change says so; the change stays with the owner for the next try.
TEST_F(RulesDialogsTest, AnUnreadableFileIsNotSavedOverAndTheChangeIsKept) {
    rules_ = {.Rules = {Rule(L"A", true)}};
    std::filesystem::create_directories(path_ / L"x");
    Run({ClickMaster(), Close()}, path_);
    const auto requests = prompts_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].text, RulesUnreadableMessage(path_));
    EXPECT_TRUE(std::filesystem::is_directory(path_));
    EXPECT_TRUE(rules_.Enabled);
    EXPECT_EQ(rules_.Rules.size(), 1u);
}

// Export with a selection, import (without the chat ids the profile does not know), and an imported
// rule needs a folder; a merge keeps the folder of each rule it replaces.
TEST_F(RulesDialogsTest, ExportAndImport) {
    NotificationRule routed = Rule(L"B", true);
    routed.Actions.push_back(To(L"1,7"));  // 7 is no recipient of the importing profile
    std::vector<std::wstring> folders;     // the list's Folder column after the merge
    const RulesFile disk = RunOverFile(
        {Rule(L"A", true), routed},
        {ClickMaster(),
         {kRulesDialogClass,
          [](HWND d) {
              testing::SaveScreenshot(d, L"rules-dialog");
              SelectRow(d, 0, 0);
              Press(d, kRulesExportId);
          }},
         {kRuleExportScopeClass,
          [](HWND d) {
              testing::SaveScreenshot(d, L"rules-export-scope");
              SendMessageW(FindWindowExW(d, nullptr, L"Button", L"All Rules in This Profile"),
                           BM_CLICK, 0, 0);
              Press(d, IDOK);
          }},
         {kRulesDialogClass, [](HWND d) { Press(d, kRulesImportId); }},
         {kRuleImportClass,
          [](HWND d) {
              testing::SaveScreenshot(d, L"rules-import-dialog");
              Press(d, IDOK);
          }},
         OnRow(2, kRulesEditId),
         {kRuleEditorClass, [](HWND d) { Press(d, IDOK); }},
         {kRuleEditorClass,
          [](HWND d) {
              Pick(d, 0, 1);
              Press(d, IDOK);
          }},
         {kRulesDialogClass, [](HWND d) { Press(d, kRulesImportId); }},
         {kRuleImportClass,
          [](HWND d) {
              Press(d, kImportMergeId);
              Press(d, IDOK);
          }},
         {kRulesDialogClass,
          [&folders](HWND d) {
              testing::SaveScreenshot(d, L"rules-dialog-folders");
              for (int row = 0; row < 4; ++row) folders.push_back(CellText(d, 0, row, 2));
              Press(d, IDOK);
          }}},
        {},
        {L"Rules exported successfully.",
         L"Chat ids unknown to this profile were removed from the routing of 1 imported rule(s): "
         L"\"B\".",
         L"2 imported rules have no folder and will not apply until you choose one.",
         L"Please select a Folder.",
         L"Chat ids unknown to this profile were removed from the routing of 1 imported rule(s): "
         L"\"B\"."});
    ASSERT_EQ(Names(disk), (std::vector<std::wstring>{L"A", L"B", L"A", L"B"}));
    EXPECT_EQ(folders,
              (std::vector<std::wstring>{L"Box/In", L"Box/In", L"Box/In/Orders", L"(no folder)"}));
    EXPECT_EQ(disk.Rules[2].FolderPath, L"\\\\Box\\In\\Orders");
    EXPECT_EQ(disk.Rules[1].Actions.back(), To(L"1"));  // replaced by the merge, folder kept
    EXPECT_EQ(disk.Rules[3].Actions.back(), To(L"1"));
    EXPECT_NE(
        std::find(log_.begin(), log_.end(), L"Rules imported: 2 rule(s) from package \"MyRules\"."),
        log_.end());
}

// The closing reminder: "Don't remind me again." with No stays quiet until an edit re-arms it.
TEST_F(RulesDialogsTest, ClosingReminder) {
    ASSERT_TRUE(SaveRulesFile(path_, {.Rules = {Rule(L"A", true)}}));
    const Step edit = OnRow(0, kRulesEditId);
    const Step save = {kRuleEditorClass, [](HWND d) { Press(d, IDOK); }};
    const struct {
        std::vector<Step> steps;
        bool reminded;
    } cases[] = {{{Close()}, true}, {{Close()}, false}, {{edit, save, Close()}, true}};
    prompts_.TickVerification(true);
    std::size_t asked = 0;
    for (const auto& c : cases) {
        prompts_.QueueAnswer(PromptAnswer::No);
        Run(c.steps, path_);
        const auto requests = prompts_.Requests();
        EXPECT_EQ(requests.size() - asked, c.reminded ? 1u : 0u);
        if (requests.size() > asked) {
            EXPECT_EQ(requests.back().verification, L"Don't remind me again.");
        }
        asked = requests.size();
        EXPECT_FALSE(OnDisk().Enabled);
    }
}

// The condition and action editors: what Save refuses and what it stores. Drop-down indexes
// follow the editors' lists; -1 leaves a list without a selection.
TEST_F(RulesDialogsTest, ConditionAndActionEditorChecks) {
    const struct {
        const char* name;
        bool action;
        int first, second;  // field and operator, or the action type (first)
        const wchar_t* value;
        std::wstring refusal;  // empty: saved
        RuleCondition condition;
        RuleAction stored;
    } cases[] = {
        {"no field", false, -1, 0, L"x", L"Please select a Field.", {}, {}},
        {"no operator", false, 1, -1, L"x", L"Please select an Operator.", {}, {}},
        {"blank value", false, 1, 4, L" \t ", L"Value must not be empty.", {}, {}},
        {"trimmed value", false, 1, 4, L" Bob ", L"", {L"Sender", L"Does Not Contain", L"Bob"}, {}},
        {"no action type", true, -1, 0, L"", L"Please select an Action Type.", {}, {}},
        {"blank title", true, 1, 0, L"  ", L"Value must not be empty.", {}, {}},
        {"title stored", true, 1, 0, L" New ", L"", {}, {L"Override Notification Title", L"New"}},
        {"other types store no value", true, 2, 0, L"junk", L"", {}, {L"Ignore Email", L""}},
        {"routing needs a tick", true, 5, 0, L"", L"Please tick at least one recipient.", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::PromptRecorder prompts;
        const wchar_t* editorClass = c.action ? kActionEditorClass : kConditionEditorClass;
        std::vector<Step> steps = {{editorClass, [&c](HWND d) {
                                        Pick(d, 0, c.first);
                                        if (!c.action) {
                                            Pick(d, 1, c.second);
                                        }
                                        SetWindowTextW(Nth(d, L"Edit", 0), c.value);
                                        Press(d, IDOK);
                                    }}};
        if (!c.refusal.empty()) {
            steps.push_back({editorClass, [](HWND d) { Press(d, IDCANCEL); }});
        }
        Script(steps);
        RuleCondition condition;
        RuleAction action;
        const bool saved = c.action ? ShowActionEditor(window_->Window(), true, action, kRecipients)
                                    : ShowConditionEditor(window_->Window(), true, condition);
        EXPECT_EQ(saved, c.refusal.empty());
        EXPECT_EQ(FirstLines(prompts), c.refusal.empty() ? std::vector<std::wstring>{}
                                                         : std::vector<std::wstring>{c.refusal});
        EXPECT_EQ(condition, c.condition);
        EXPECT_EQ(action, c.stored);
    }
}

// Names for chat ids, and an id that is no recipient (any more) kept until it is unticked.
TEST_F(RulesDialogsTest, RoutingActionShowsNamesAndTicks) {
    NotificationRule rule = Rule(L"A", true);
    rule.Actions = {To(L"2,1,9")};
    std::vector<std::wstring> listed;
    Script({{kRuleEditorClass,
             [&listed](HWND d) {
                 listed.push_back(CellText(d, 1, 0, 1));
                 SelectRow(d, 1, 0);
                 Press(d, kRuleEditActionId);
             }},
            {kActionEditorClass,
             [](HWND d) {
                 testing::SaveScreenshot(d, L"rules-action-editor-recipients");
                 ListView_SetCheckState(Nth(d, WC_LISTVIEWW, 0), 0, FALSE);  // Dana
                 Press(d, IDOK);
             }},
            {kRuleEditorClass, [&listed](HWND d) {
                 listed.push_back(CellText(d, 1, 0, 1));
                 Press(d, IDOK);
             }}});
    ASSERT_TRUE(ShowRuleEditor(window_->Window(), false, rule, {Folder(L"Box", L"\\\\Box\\In")},
                               kRecipients));
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"Finance, Dana, 9", L"Finance, 9"}));
    EXPECT_EQ(rule.Actions, std::vector<RuleAction>{To(L"2,9")});
}

}  // namespace
}  // namespace wrenpost
