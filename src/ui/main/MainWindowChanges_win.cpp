// Unsaved changes: LOAD, CLEAR and closing the window ask before they drop a changed form.
#include <windows.h>

#include "common/Prompt.h"
#include "common/Text.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost {

FormSnapshot MainWindow::CurrentForm() const {
    return {GatherProfile(), TrimWhitespace(ControlText(kIdAccessToken)), rules_};
}

void MainWindow::KeepForm() {
    keptForm_ = CurrentForm();
}

bool MainWindow::SettleUnsavedChanges() {
    if (!FormChanged(keptForm_, CurrentForm())) {
        return true;
    }
    // Asked from the tray, the window comes back to show what the question is about.
    if (!IsWindowVisible(Window()) || IsIconic(Window())) {
        Restore();
    }
    PromptRequest question;
    question.owner = reinterpret_cast<std::uintptr_t>(Window());
    question.caption = L"Unsaved Changes";
    question.text = SaveChangesQuestion(TrimWhitespace(ControlText(kIdProfileName)));
    question.icon = PromptIcon::Warning;
    question.buttons = PromptButtons::YesNoCancel;
    switch (ShowPrompt(question)) {
        case PromptAnswer::Yes:
            // A cancelled picker or a failed save keeps the form: nothing is dropped.
            return SaveProfile();
        case PromptAnswer::No:
            return true;
        default:
            return false;
    }
}

void MainWindow::NoteChangesLostAtSessionEnd() {
    if (FormChanged(keptForm_, CurrentForm())) {
        log_.Warning(UnsavedAtSessionEndNote(TrimWhitespace(ControlText(kIdProfileName))));
    }
}

}  // namespace wrenpost
