// A changed form is never dropped without a question, and the tray's Stop and Exit work over
// whatever dialog or box is open.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ui/ModalLoop_win.h"
#include "ui/main/AboutDialog_win.h"
#include "win/ui/ProfileAndMonitorFixture.h"

namespace wrenpost {
namespace {

constexpr wchar_t kQuestion[] = L"Unsaved Changes";

enum class Trigger { Load, Clear, Close, TrayExit };
enum class Edit { None, Complete, NameOnly, TokenOnly };  // NameOnly: SAVE refuses it

class UnsavedChangesTest : public ProfileAndMonitorTest {
public:
    bool Saved() const { return fs::exists(profiles_ / L"Desk" / L"DeskConfig.json"); }
};

TEST_F(UnsavedChangesTest, LoadClearAndCloseAskBeforeTheyDropAChangedForm) {
    const struct {
        Trigger trigger;
        Edit edit;
        PromptAnswer answer;
        bool proceeds;
    } rows[] = {
        {Trigger::Load, Edit::None, PromptAnswer::Ok, true},
        {Trigger::Load, Edit::Complete, PromptAnswer::Yes, true},
        {Trigger::Load, Edit::Complete, PromptAnswer::No, true},
        {Trigger::Load, Edit::Complete, PromptAnswer::Cancel, false},
        {Trigger::Load, Edit::NameOnly, PromptAnswer::Yes, false},
        {Trigger::Clear, Edit::None, PromptAnswer::Ok, true},
        {Trigger::Clear, Edit::Complete, PromptAnswer::Yes, true},
        {Trigger::Clear, Edit::TokenOnly, PromptAnswer::No, true},
        {Trigger::Clear, Edit::Complete, PromptAnswer::Cancel, false},
        {Trigger::Close, Edit::None, PromptAnswer::Ok, true},
        {Trigger::Close, Edit::Complete, PromptAnswer::Yes, true},
        {Trigger::Close, Edit::Complete, PromptAnswer::No, true},
        {Trigger::Close, Edit::Complete, PromptAnswer::Cancel, false},
        {Trigger::Close, Edit::NameOnly, PromptAnswer::Yes, false},
        {Trigger::TrayExit, Edit::Complete, PromptAnswer::No, true},
        {Trigger::TrayExit, Edit::Complete, PromptAnswer::Cancel, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        std::error_code ignored;
        fs::remove_all(profiles_ / L"Desk", ignored);
        const std::size_t askedBefore = Boxes(kQuestion).size();
        OpenWindow();
        picks_ = 0;
        nextPick_ = profiles_;
        SetText(kIdProfileName,
                row.edit == Edit::Complete || row.edit == Edit::NameOnly ? L"Desk" : L"");
        SetText(kIdAccessToken,
                row.edit == Edit::Complete || row.edit == Edit::TokenOnly ? kToken : L"");
        if (row.edit != Edit::None) {
            prompts_.QueueAnswer(row.answer);
        }
        const bool saves = row.edit == Edit::Complete && row.answer == PromptAnswer::Yes;
        const HWND window = window_->Window();
        switch (row.trigger) {
            case Trigger::Load:
                Click(kIdLoad);
                // SAVE's picker first when the answer saves; LOAD's own picker when it goes on.
                EXPECT_EQ(picks_, (saves ? 1 : 0) + (row.proceeds ? 1 : 0));
                break;
            case Trigger::Clear:
                Click(kIdClear);
                EXPECT_EQ(window_->ControlText(kIdAccessToken).empty(), row.proceeds);
                break;
            case Trigger::Close:
            case Trigger::TrayExit:
                SendMessageW(window, row.trigger == Trigger::Close ? WM_CLOSE : WM_COMMAND,
                             row.trigger == Trigger::Close ? 0 : MAKEWPARAM(kTrayExit, 0), 0);
                EXPECT_EQ(IsWindow(window) == FALSE, row.proceeds);
                break;
        }
        const std::vector<PromptRequest> asked = Boxes(kQuestion);
        ASSERT_EQ(asked.size(), askedBefore + (row.edit == Edit::None ? 0 : 1));
        if (row.edit != Edit::None) {
            EXPECT_EQ(asked.back().text, row.edit == Edit::TokenOnly
                                             ? L"Save changes to this profile?"
                                             : L"Save changes to Desk?");
            EXPECT_EQ(asked.back().buttons, PromptButtons::YesNoCancel);
            EXPECT_EQ(asked.back().defaultButton, PromptRequest::Default::First);
        }
        EXPECT_EQ(Saved(), saves);
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
        Pump([] { return true; }, 0ms);
    }
}

// Once SAVE, LOAD or CLEAR has set the form down, only a later edit counts.
TEST_F(UnsavedChangesTest, OnlyEditsSinceTheLastSaveLoadOrClearCount) {
    OpenDesk();
    Click(kIdClear);
    SetText(kIdCheckSeconds, L"30");
    prompts_.QueueAnswer(PromptAnswer::No);
    Click(kIdClear);
    SetText(kIdProfileName, L"Desk");
    SetText(kIdAccessToken, kToken);
    nextPick_ = profiles_;
    Click(kIdSave);
    Load(profiles_ / L"Desk");
    EXPECT_EQ(Boxes(kQuestion).size(), 1u);  // the CLEAR after the interval's edit
}

TEST_F(UnsavedChangesTest, ClosingWhileMonitoringAsksAfterTheMonitoringQuestion) {
    ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(0));  // the name cleared after LOAD: a change
    prompts_.QueueAnswer(PromptAnswer::Yes);       // stop monitoring and exit
    prompts_.QueueAnswer(PromptAnswer::Cancel);    // but not without saving
    SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
    const auto asked = prompts_.Requests();
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked[asked.size() - 2].caption, L"Monitoring Is Running");
    EXPECT_EQ(asked.back().caption, kQuestion);
    EXPECT_TRUE(IsWindow(window_->Window()));
    EXPECT_TRUE(window_->IsMonitoring());
    Click(kIdStopMonitor);
}

TEST_F(UnsavedChangesTest, RulesEditedAfterLoadingAnotherProfileStayOutOfTheUnsavedSession) {
    WriteProfile(profiles_ / L"Other", L"Other", DeskProfile(), 1);
    ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(1));
    prompts_.QueueAnswer(PromptAnswer::No);  // the session's form is not saved
    Load(profiles_ / L"Other");
    ASSERT_EQ(window_->CurrentProfileFolder(), profiles_ / L"Other");
    SwitchRulesOnInTheRulesWindow();
    RulesFile copy;
    RulesFile other;
    ASSERT_EQ(LoadRulesFile(SessionCopy(L"Rules.json"), copy), RuleLoadResult::Loaded);
    ASSERT_EQ(LoadRulesFile(profiles_ / L"Other" / L"OtherRules.json", other),
              RuleLoadResult::Loaded);
    EXPECT_FALSE(copy.Enabled);
    EXPECT_TRUE(other.Enabled);
    EXPECT_TRUE(Logged(L"Rules changes apply to Other, not to the running session "));
    EXPECT_TRUE(window_->IsMonitoring());
    Click(kIdStopMonitor);
}

// The tray's Stop over one of our dialogs: no box can be asked, so it stops without one.
TEST_F(UnsavedChangesTest, TrayStopOverADialogStopsWithoutABoxAndLeavesTheDialogOpen) {
    ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(0));
    ShowWindow(window_->Window(), SW_HIDE);
    const std::size_t asked = prompts_.Requests().size();
    WhenReady(OnWindow(kAboutDialogClass, [this](HWND about) {
        SendMessageW(window_->Window(), WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0), 0);
        EXPECT_FALSE(window_->IsMonitoring());
        EXPECT_EQ(ActiveModalDialog(), about);
        DestroyWindow(about);
        return true;
    }));
    Click(kIdAbout);
    ExpectEveryStepRan();
    EXPECT_TRUE(IsWindowVisible(window_->Window()));
    EXPECT_EQ(prompts_.Requests().size(), asked);
}

// The tray's Exit over a real message box of ours waits for it, then exits.
TEST_F(UnsavedChangesTest, TrayExitWaitsForAnOpenMessageBox) {
    OpenWindow();
    const HWND window = window_->Window();
    const PromptHandler recorder = SetPromptHandler(&ShowPlatformPrompt);
    WhenReady([window] {
        HWND box = FindWindowW(L"#32770", L"How to Get a Bot Token");
        if (box == nullptr) {
            return false;
        }
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0);
        EXPECT_TRUE(IsWindow(window));  // not yet: the box is still open
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    Click(kIdTokenHelp);
    SetPromptHandler(recorder);
    ExpectEveryStepRan();
    Pump([window] { return IsWindow(window) == FALSE; }, 10s);
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace wrenpost
