// The dialogs that create, unlock, recover and re-key the vault.
#include <windows.h>

#include "common/Clipboard_win.h"
#include "ui/SecretEdit_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "ui/vault/FormDialog_win.h"
#include "ui/vault/VaultDialogs_win.h"
#include "vault/VaultStore_win.h"

namespace wrenpost {
namespace {

constexpr int kFirst = 101;
constexpr int kSecond = 102;
constexpr int kThird = 103;
constexpr int kExtra = 104;

void Warn(FormDialog& dialog, const wchar_t* text) {
    Tell(dialog.Window(), L"Token Vault", text, PromptIcon::Warning);
}

constexpr wchar_t kTooShort[] = L"The vault password must be at least 12 characters long.";

bool TooShort(const std::wstring& password) {
    return password.size() < kMinVaultPasswordLength;
}

// Two or three labelled edits in a column; the rest of a dialog's table follows them.
std::vector<DialogControl> Fields(std::initializer_list<const wchar_t*> labels, int labelWidth,
                                  int editWidth, bool firstPlain = false) {
    std::vector<DialogControl> controls;
    int id = kFirst;
    int y = 15;
    for (const wchar_t* label : labels) {
        const DWORD edit = id == kFirst && firstPlain ? kFormEdit : kFormPassword;
        controls.push_back({-1, L"STATIC", label, SS_LEFT, 15, y + 3, labelWidth, 20});
        controls.push_back({id++, L"EDIT", L"", edit, 20 + labelWidth, y, editWidth, 24});
        y += 35;
    }
    return controls;
}

std::vector<DialogControl> With(std::vector<DialogControl> controls,
                                std::initializer_list<DialogControl> more) {
    controls.insert(controls.end(), more);
    return controls;
}

}  // namespace

bool AskNewVaultPassword(HWND owner, std::wstring& password) {
    static const FormLayout layout{
        L"WrenpostVaultCreatePwd",
        L"Set Vault Password",
        400,
        210,
        With(Fields({L"&New Password:", L"&Confirm Password:"}, 130, 215),
             {{IDOK, L"BUTTON", L"OK", kFormDefault, 180, 120, 90, 28},
              {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 280, 120, 90, 28}}),
        kFirst};
    FormDialog dialog(owner, layout,
                      [&password](FormDialog& form, int id, int) {
                          if (id != IDOK) {
                              return id == IDCANCEL;
                          }
                          password = form.Text(kFirst);
                          if (password.empty()) {
                              Warn(form, L"Password cannot be empty.");
                          } else if (TooShort(password)) {
                              Warn(form, kTooShort);
                          } else if (password != form.Text(kSecond)) {
                              Warn(form, L"Passwords do not match.");
                          } else {
                              return true;
                          }
                          return false;
                      },
                      {});
    return dialog.Run() == IDOK;
}

UnlockChoice AskVaultPassword(HWND owner, std::wstring& password) {
    static const FormLayout layout{
        L"WrenpostVaultUnlock",
        L"Unlock Token Vault",
        390,
        190,
        With(Fields({L"&Password:"}, 80, 255),
             {{kExtra, L"BUTTON", L"&Recover using Recovery Key", kFormButton, 15, 100, 180, 28},
              {IDOK, L"BUTTON", L"&Unlock", kFormDefault, 205, 100, 75, 28},
              {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 285, 100, 75, 28}}),
        kFirst};
    FormDialog dialog(owner, layout,
                      [&password](FormDialog& form, int id, int) {
                          if (id == IDOK) {
                              password = form.Text(kFirst);
                              if (password.empty()) {
                                  Warn(form, L"Please enter the vault password.");
                                  return false;
                              }
                          }
                          return id == IDOK || id == IDCANCEL || id == kExtra;
                      },
                      {});
    const int ended = dialog.Run();
    return ended == IDOK     ? UnlockChoice::Unlock
           : ended == kExtra ? UnlockChoice::Recover
                             : UnlockChoice::Cancel;
}

void ShowRecoveryKey(HWND owner, const std::wstring& recoveryKey) {
    static const FormLayout layout{
        L"WrenpostVaultRecoveryKeyDisplay",
        L"Save Your Recovery Key",
        460,
        230,
        {{-1, L"STATIC",
          L"Save this Recovery Key in a safe place.\r\nIt can reset your vault password if you "
          L"forget it.",
          kFormLabel, 15, 12, 414, 36},
         {kFirst, L"EDIT", L"", WS_BORDER | ES_READONLY | ES_CENTER | WS_TABSTOP, 15, 52, 414, 28},
         {kSecond, L"BUTTON", L"&Copy", kFormButton, 15, 90, 80, 26},
         {kThird, L"BUTTON", L"I have &saved my recovery key", BS_AUTOCHECKBOX | WS_TABSTOP, 15, 125,
          280, 22},
         {IDOK, L"BUTTON", L"Continue", kFormDefault | WS_DISABLED, 334, 150, 95, 28}},
        kSecond};
    FormDialog dialog(
        owner, layout,
        [&recoveryKey](FormDialog& form, int id, int) {
            const bool saved = SendMessageW(form.Item(kThird), BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (id == kSecond) {
                CopyToClipboard(form.Window(), recoveryKey, ClipboardPrivacy::Secret);
            } else if (id == kThird) {
                EnableWindow(form.Item(IDOK), saved);
            } else if (id == IDOK || id == IDCANCEL) {
                if (saved) {
                    return true;
                }
                Warn(form, L"Please save your recovery key and check the box before continuing.");
            }
            return false;
        },
        [&recoveryKey](FormDialog& form, UINT message, WPARAM, LPARAM) {
            if (message == WM_INITDIALOG) {
                form.SetText(kFirst, recoveryKey);
                CopyOnlyAsSecret(form.Item(kFirst));
            }
            return false;
        });
    dialog.Run();
}

RecoveryChoice RecoverVaultDialog(HWND owner, VaultKeys& keys) {
    static const FormLayout layout{
        L"WrenpostVaultRecoveryReset",
        L"Recover Vault Password",
        440,
        270,
        With(Fields({L"Recovery &Key:", L"&New Password:", L"&Confirm New Password:"}, 145, 244, true),
             {{kExtra, L"BUTTON", L"Lost both? Reset &Vault...", kFormButton, 15, 180, 160, 28},
              {IDOK, L"BUTTON", L"&Reset Password", kFormDefault, 214, 180, 110, 28},
              {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 329, 180, 80, 28}}),
        kFirst};
    FormDialog dialog(owner, layout,
                      [&keys](FormDialog& form, int id, int) {
                          if (id != IDOK) {
                              return id == IDCANCEL || id == kExtra;
                          }
                          const std::wstring key = form.Text(kFirst);
                          const std::wstring newPassword = form.Text(kSecond);
                          std::wstring error;
                          if (key.empty() || newPassword.empty() || form.Text(kThird).empty()) {
                              Warn(form, L"Please fill in all fields.");
                          } else if (TooShort(newPassword)) {
                              Warn(form, kTooShort);
                          } else if (newPassword != form.Text(kThird)) {
                              Warn(form, L"New password and confirmation do not match.");
                          } else if (!RecoverVaultPassword(key, newPassword, keys, error)) {
                              Tell(form.Window(), L"Token Vault Error",
                                   L"Recovery failed:\n\n" + error, PromptIcon::Error);
                          } else {
                              return true;
                          }
                          return false;
                      },
                      {});
    const int ended = dialog.Run();
    return ended == IDOK     ? RecoveryChoice::Recovered
           : ended == kExtra ? RecoveryChoice::ResetVault
                             : RecoveryChoice::Cancel;
}

bool ChangeVaultPasswordDialog(HWND owner, VaultKeys& keys) {
    static const FormLayout layout{
        L"WrenpostVaultResetPwd",
        L"Reset Vault Password",
        420,
        235,
        With(Fields({L"&Old Password:", L"&New Password:", L"&Confirm New Password:"}, 150, 219),
             {{IDOK, L"BUTTON", L"Reset", kFormDefault, 214, 145, 85, 28},
              {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 304, 145, 85, 28}}),
        kFirst};
    FormDialog dialog(
        owner, layout,
        [&keys](FormDialog& form, int id, int) {
            if (id != IDOK) {
                return id == IDCANCEL;
            }
            const std::wstring old = form.Text(kFirst);
            const std::wstring fresh = form.Text(kSecond);
            std::wstring error;
            if (old.empty() || fresh.empty() || form.Text(kThird).empty()) {
                Warn(form, L"Please fill in all password fields.");
            } else if (TooShort(fresh)) {
                Warn(form, kTooShort);
            } else if (fresh != form.Text(kThird)) {
                Warn(form, L"New password and confirmation do not match.");
            } else if (!ChangeVaultPassword(old, fresh, keys, error)) {
                if (error == kOldPasswordIncorrect) {
                    Warn(form, kOldPasswordIncorrect);
                } else {
                    Tell(form.Window(), L"Token Vault Error",
                         L"Failed to reset vault password:\n\n" + error, PromptIcon::Error);
                }
            } else {
                Tell(form.Window(), L"Token Vault", L"Vault password changed successfully.",
                     PromptIcon::Information);
                return true;
            }
            return false;
        },
        {});
    return dialog.Run() == IDOK;
}

}  // namespace wrenpost
