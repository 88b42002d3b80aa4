// The Token Vault window: the unlocked vault's tokens, masked until revealed, ten to a page,
// with getMe refreshes, notes and a second instance per token. Every change is saved at once
// with the keys the unlock derived.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/HttpClient.h"
#include "vault/VaultDocument.h"
#include "vault/VaultKeys_win.h"

namespace wrenpost {

inline constexpr wchar_t kVaultWindowClass[] = L"WrenpostTokenVaultDlg";

// Ids of the window's controls and of its one menu command.
enum VaultWindowId : int {
    kVaultSearch = 201,
    kVaultAdd = 202,
    kVaultRefreshAll = 203,
    kVaultResetPassword = 204,
    kVaultList = 205,
    kVaultPrevious = 206,
    kVaultPage = 207,
    kVaultNext = 208,
    kVaultCopy = 301,  // the right-click menu's "Copy" of the selected cell
};

// The list's columns, in order.
enum VaultColumn : int {
    kColumnRefresh,
    kColumnShow,
    kColumnName,
    kColumnUsername,
    kColumnToken,
    kColumnInstance,
    kColumnDelete,
    kColumnNotes,
};

// Runs the window modally over `owner` until it is closed; false when it could not be made.
bool RunVaultWindow(HWND owner, std::unique_ptr<VaultKeys> keys, std::vector<VaultEntry> entries,
                    const HttpTransport& transport);

}  // namespace wrenpost
