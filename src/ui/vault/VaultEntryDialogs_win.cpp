// The dialogs for one vault entry: a new token (checked with getMe) and its notes.
#include <windows.h>

#include <memory>

#include "common/Text.h"
#include "ui/GlyphButton_win.h"
#include "ui/SecretEdit_win.h"
#include "ui/vault/FormDialog_win.h"
#include "ui/vault/VaultDialogs_win.h"
#include "ui/vault/VaultWorker_win.h"

namespace wrenpost {
namespace {

constexpr int kEditId = 101;
constexpr int kEyeId = 102;
constexpr int kStatusId = 103;
constexpr int kNotesLimit = 200;
constexpr ButtonGlyph kShowTokenGlyph{L"&Show Token", L"\U0001F441", L"Show"};
constexpr ButtonGlyph kHideTokenGlyph{L"&Hide Token", L"\U0001F648", L"Hide"};

}  // namespace

bool AskVaultToken(HWND owner, const HttpTransport& transport, NewVaultToken& added) {
    static const FormLayout layout{
        L"WrenpostVaultAddToken",
        L"Add Token",
        480,
        200,
        {{-1, L"STATIC", L"Telegram Bot &Token:", SS_LEFT, 15, 15, 200, 20},
         {kEditId, L"EDIT", L"", kFormPassword, 15, 40, 380, 24},
         {kEyeId, L"BUTTON", L"", kGlyphButtonStyle, 400, 40, 49, 24, &kShowTokenGlyph},
         {kStatusId, L"STATIC", L"", kFormLabel, 15, 75, 434, 20},
         {IDOK, L"BUTTON", L"&Add", kFormDefault, 274, 115, 85, 28},
         {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 364, 115, 85, 28}},
        kEditId};
    wchar_t mask = 0;
    bool shown = false;
    std::wstring checking;  // the token whose answer is awaited
    FormDialog dialog(
        owner, layout,
        [&](FormDialog& form, int id, int) {
            if (id == kEyeId) {
                const HWND edit = form.Item(kEditId);
                if (mask == 0) {
                    mask = static_cast<wchar_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
                }
                shown = !shown;
                SendMessageW(edit, EM_SETPASSWORDCHAR, shown ? 0 : mask, 0);
                InvalidateRect(edit, nullptr, TRUE);
                SetButtonGlyph(form.Item(kEyeId), shown ? kHideTokenGlyph : kShowTokenGlyph);
            } else if (id == IDOK) {
                const std::wstring token = TrimWhitespace(form.Text(kEditId));
                if (token.empty()) {
                    form.SetText(kStatusId, L"Please enter a token.");
                } else if (checking.empty()) {
                    checking = token;
                    form.SetText(kStatusId, L"Validating token...");
                    EnableWindow(form.Item(IDOK), FALSE);
                    StartVaultBotInfo(form.Window(), transport, token, L"", false);
                }
            }
            return id == IDCANCEL;
        },
        [&](FormDialog& form, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_INITDIALOG) {
                CopyOnlyAsSecret(form.Item(kEditId));  // for when the eye reveals the token
            }
            if (message != kVaultBotInfoMessage) {
                return false;
            }
            const auto record = AdoptRecord<VaultBotInfoRecord>(wParam, lParam);
            if (record == nullptr || checking.empty()) {
                return true;
            }
            EnableWindow(form.Item(IDOK), TRUE);
            if (record->info.ok) {
                added = {checking, record->info.firstName, record->info.username};
                form.End(IDOK);
            } else {
                form.SetText(kStatusId, L"Invalid Telegram Bot Token.");
            }
            checking.clear();
            return true;
        });
    return dialog.Run() == IDOK;
}

bool EditVaultNotes(HWND owner, std::wstring& notes) {
    static const FormLayout layout{
        L"WrenpostVaultNotes",
        L"Notes",
        460,
        295,
        {{-1, L"STATIC", L"&Notes:", SS_LEFT, 15, 12, 100, 20},
         {kStatusId, L"STATIC", L"", SS_RIGHT | SS_NOPREFIX, 334, 12, 95, 20},
         // No ES_WANTRETURN: Enter saves, as in every other dialog of the vault.
         {kEditId, L"EDIT", L"",
          ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 15, 36, 414, 160},
         {IDOK, L"BUTTON", L"Save", kFormDefault, 254, 210, 85, 28},
         {IDCANCEL, L"BUTTON", L"Cancel", kFormButton, 344, 210, 85, 28}},
        kEditId};
    const auto count = [](FormDialog& form) {
        form.SetText(kStatusId, std::to_wstring(GetWindowTextLengthW(form.Item(kEditId))) + L" / " +
                                    std::to_wstring(kNotesLimit));
    };
    FormDialog dialog(
        owner, layout,
        [&](FormDialog& form, int id, int notification) {
            if (id == kEditId && notification == EN_CHANGE) {
                count(form);
            }
            if (id == IDOK) {
                notes = form.Text(kEditId);
            }
            return id == IDOK || id == IDCANCEL;
        },
        [&](FormDialog& form, UINT message, WPARAM, LPARAM) {
            if (message == WM_INITDIALOG) {
                SendMessageW(form.Item(kEditId), EM_LIMITTEXT, kNotesLimit, 0);
                // Stored notes are never cut: a longer text from elsewhere stays whole.
                form.SetText(kEditId, notes);
                count(form);
            }
            return false;
        });
    return dialog.Run() == IDOK;
}

}  // namespace wrenpost
