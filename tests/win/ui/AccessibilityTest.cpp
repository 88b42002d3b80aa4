// Every window besides the main one, opened for real: what a screen reader finds in it through
// MSAA (a meaningful name for every control) and unique mnemonics.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "rules/RulePackage.h"
#include "support/Accessibility_win.h"
#include "support/Screenshot_win.h"
#include "support/TempDir.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/UpdateAvailableDialog_win.h"
#include "ui/message/MessageOptionsDialog_win.h"
#include "ui/recipients/RecipientsManager_win.h"
#include "ui/recipients/VerificationWindow_win.h"
#include "ui/rules/RuleEditors_win.h"
#include "ui/rules/RulePackageDialogs_win.h"
#include "ui/rules/RulesDialog_win.h"
#include "ui/vault/VaultDialogs_win.h"
#include "ui/vault/VaultWindowLook_win.h"
#include "ui/vault/VaultWindow_win.h"
#include "vault/VaultStore_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

HttpResponse NoUpdates(const HttpRequest&) {
    Sleep(20);
    return {HttpStage::None, 0, 200, "application/json", R"({"ok":true,"result":[]})"};
}

struct WindowCase {
    const wchar_t* className;
    std::function<void(HWND owner)> open;  // returns once the window is closed
};

UpdateCheckResult Newer() {
    UpdateCheckResult result;
    result.outcome = UpdateOutcome::UpdateAvailable;
    result.releaseNotes = {L"Faster"};
    return result;
}
std::wstring text;
bool yes;
VaultKeys keys;
RulesFile rules;
RulesDialogRequest RulesRequest() {
    RulesDialogRequest request;
    request.rules = &rules;
    return request;
}
const std::vector<RecipientEntry> kAnn{{L"42", L"Ann", true, L"", L"Never"}};

const WindowCase kWindows[] = {
    {kVaultWindowClass,
     [](HWND o) {
         RunVaultWindow(o, std::make_unique<VaultKeys>(), {{L"1", L"1:a", L"B", L"@b", L""}},
                        NoUpdates);
     }},
    {L"WrenpostVaultAddToken", [](HWND o) { NewVaultToken t; AskVaultToken(o, NoUpdates, t); }},
    {L"WrenpostVaultNotes", [](HWND o) { EditVaultNotes(o, text); }},
    {L"WrenpostVaultCreatePwd", [](HWND o) { AskNewVaultPassword(o, text); }},
    {L"WrenpostVaultUnlock", [](HWND o) { AskVaultPassword(o, text); }},
    {L"WrenpostVaultRecoveryKeyDisplay", [](HWND o) { ShowRecoveryKey(o, L"ABCD-EFGH"); }},
    {L"WrenpostVaultRecoveryReset", [](HWND o) { RecoverVaultDialog(o, keys); }},
    {L"WrenpostVaultResetPwd", [](HWND o) { ChangeVaultPasswordDialog(o, keys); }},
    {kRulesDialogClass, [](HWND o) { ShowNotificationRulesDialog(o, RulesRequest()); }},
    {kRuleEditorClass, [](HWND o) { NotificationRule r; ShowRuleEditor(o, true, r, {}); }},
    {kConditionEditorClass, [](HWND o) { RuleCondition c; ShowConditionEditor(o, true, c); }},
    {kActionEditorClass, [](HWND o) { RuleAction a; ShowActionEditor(o, true, a, kAnn); }},
    {kRuleExportScopeClass, [](HWND o) { ShowExportScopeDialog(o, L"Orders", yes); }},
    {kRuleImportClass, [](HWND o) { ImportMode m; ShowImportDialog(o, RulePackage{}, m); }},
    {kRecipientsManagerClass,
     [](HWND o) {
         std::vector<RecipientEntry> recipients = kAnn;
         std::vector<RecipientTopic> topics;
         RunRecipientsManager(o, recipients, topics, [](HWND) {});
     }},
    {kVerificationWindowClass,
     [](HWND o) {
         RunVerificationWindow(o, {L"1:a", L"123456", L"bot", NoUpdates, nullptr, {},
                                   [](const std::wstring&) { return true; }});
     }},
    {kMessageOptionsClass, [](HWND o) { MessageOptionsRequest r; ShowMessageOptionsDialog(o, r); }},
    {kAboutDialogClass, [](HWND o) { RunAboutDialog(o, [](HWND) {}); }},
    {kUpdateAvailableDialogClass,
     [](HWND o) { RunUpdateAvailableDialog(o, o, Newer(), [] { return true; }); }},
};

class AccessibilityTest : public MainWindowFixture {};

TEST_F(AccessibilityTest, EveryControlIsNamedAndTabbedAndEveryMnemonicIsUnique) {
    testing::TempDir dir;
    SetVaultFolderProvider([&dir] { return dir.Path(); });
    const HWND owner = Open().Window();
    const testing::AccessibilityFindings main = testing::CheckAccessibility(owner);
    EXPECT_EQ(main.faults, std::vector<std::wstring>{});
    EXPECT_EQ(main.repeatedMnemonics, L"");
    for (const WindowCase& window : kWindows) {
        testing::AccessibilityFindings found;
        bool seen = false;
        auto deadline = std::chrono::steady_clock::now() + 10s;
        WhenReady([&] {
            const HWND open = FindWindowW(window.className, nullptr);
            if (!seen && open != nullptr && IsWindowVisible(open)) {
                found = testing::CheckAccessibility(open);
                seen = true;
                deadline = std::chrono::steady_clock::now() + 2s;
                PostMessageW(open, WM_CLOSE, 0, 0);
            } else if (std::chrono::steady_clock::now() > deadline) {
                // The recovery key's window ignores the close box until the key is confirmed.
                DestroyWindow(open != nullptr ? open : ActiveModalDialog());
            }
            return seen && open == nullptr;
        });
        window.open(owner);
        Pump([] { return !pendingStep; }, 2s);
        ASSERT_TRUE(seen) << window.className;
        EXPECT_EQ(found.faults, std::vector<std::wstring>{}) << window.className;
        EXPECT_EQ(found.repeatedMnemonics, L"") << window.className;
    }
    SetVaultFolderProvider(nullptr);
}

// A black-and-white high-contrast scheme while it lives, the previous colours restored after.
class HighContrast {
public:
    HighContrast() {
        for (int i = 0; i < kCount; ++i) {
            saved_[i] = GetSysColor(kElements[i]);
        }
        Set(HCF_HIGHCONTRASTON, kScheme);
    }
    ~HighContrast() { Set(0, saved_); }

private:
    static constexpr int kCount = 9;
    static constexpr int kElements[kCount] = {
        COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE,  COLOR_BTNTEXT,  COLOR_3DFACE,
        COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT, COLOR_WINDOWFRAME};
    static constexpr COLORREF kScheme[kCount] = {
        RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),   RGB(255, 255, 255), RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 255, 0), RGB(255, 255, 255)};
    static void Set(DWORD flags, const COLORREF* colours) {
        HIGHCONTRASTW contrast{sizeof(contrast), flags, nullptr};
        SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
        SetSysColors(kCount, kElements, colours);
    }
    COLORREF saved_[kCount] = {};
};

TEST_F(AccessibilityTest, VaultCellsTakeTheHighContrastColours) {
    const HighContrast contrast;
    const std::pair<VaultCellLook, std::pair<int, int>> cases[] = {
        {VaultCellLook::Plain, {COLOR_WINDOWTEXT, COLOR_WINDOW}},
        {VaultCellLook::Selected, {COLOR_HIGHLIGHTTEXT, COLOR_HIGHLIGHT}}};
    for (const auto& [look, colours] : cases) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
        PaintVaultCell(draw, [look](int, int) { return look; });
        EXPECT_EQ(draw.clrText, GetSysColor(colours.first)) << static_cast<int>(look);
        EXPECT_EQ(draw.clrTextBk, GetSysColor(colours.second)) << static_cast<int>(look);
    }
    const HWND owner = Open().Window();
    EXPECT_TRUE(testing::SaveScreenshot(owner, L"main-window-high-contrast"));
    WhenReady([] {
        const HWND vault = FindWindowW(kVaultWindowClass, nullptr);
        if (vault == nullptr) {
            return false;
        }
        EXPECT_TRUE(testing::SaveScreenshot(vault, L"vault-high-contrast"));
        PostMessageW(vault, WM_CLOSE, 0, 0);
        return true;
    });
    kWindows[0].open(owner);
}

}  // namespace
}  // namespace wrenpost
