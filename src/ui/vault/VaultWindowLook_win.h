// How the Token Vault window looks: its controls, its list's columns and how a cell is painted.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <functional>

#include "ui/DialogWindow_win.h"
#include "ui/GlyphButton_win.h"
#include "ui/vault/VaultWindow_win.h"

namespace wrenpost {

inline constexpr DWORD kVaultButton = BS_PUSHBUTTON | WS_TABSTOP;

inline constexpr ButtonGlyph kVaultAddGlyph{L"&Add Token", L"+", L"Add"};
inline constexpr ButtonGlyph kVaultRefreshAllGlyph{L"&Refresh All", L"\u21BB", L"Refresh"};

// Client area 1044 x 701 at 96 DPI (the window is 1060 x 740). The list's label names it for a
// screen reader.
inline constexpr DialogControl kVaultControls[] = {
    {-1, L"STATIC", L"&Search by Bot Name:", SS_LEFT, 15, 18, 140, 20},
    {kVaultSearch, L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 160, 15, 300, 24},
    {kVaultAdd, L"BUTTON", L"", kGlyphButtonStyle, 470, 14, 40, 26, &kVaultAddGlyph},
    {kVaultRefreshAll, L"BUTTON", L"", kGlyphButtonStyle, 515, 14, 70, 26, &kVaultRefreshAllGlyph},
    {kVaultResetPassword, L"BUTTON", L"Reset &Password", kVaultButton, 595, 14, 130, 26},
    {-1, L"STATIC", L"&Tokens:", SS_LEFT, 15, 50, 200, 20},
    {kVaultList, WC_LISTVIEWW, L"",
     LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP, 15, 72, 1014, 558},
    {kVaultPrevious, L"BUTTON", L"Pre&vious", kVaultButton, 15, 645, 100, 28},
    {kVaultPage, L"STATIC", L"Page 1 of 1", SS_CENTER | SS_NOPREFIX, 125, 650, 200, 20},
    {kVaultNext, L"BUTTON", L"&Next", kVaultButton, 335, 645, 100, 28},
};

struct VaultColumnLook {
    const wchar_t* title;
    int width;
    int format;
};
inline constexpr VaultColumnLook kVaultColumns[] = {
    {L"Refresh", 70, LVCFMT_CENTER}, {L"Show / Hide", 85, LVCFMT_CENTER},
    {L"Bot Name", 160, LVCFMT_LEFT}, {L"Bot Username", 160, LVCFMT_LEFT},
    {L"Token", 290, LVCFMT_LEFT},    {L"Instance", 70, LVCFMT_CENTER},
    {L"Delete", 60, LVCFMT_CENTER},  {L"Notes", 90, LVCFMT_LEFT},
};

// The cells that are buttons show emoji where the emoji font is installed and short words where
// it is not (a missing glyph is an empty box, which neither eye nor screen reader can use).
inline constexpr wchar_t kEmojiFontName[] = L"Segoe UI Emoji";
bool EmojiFontInstalled();
const wchar_t* VaultIconCell(int column, bool shown, bool emoji);

// The columns whose cells can be copied.
bool IsVaultTextColumn(int column);

enum class VaultCellLook { Plain, Blinking, Selected };

// The list's custom draw: the list's own row selection is not shown, the vault selects cells.
LRESULT PaintVaultCell(NMLVCUSTOMDRAW& draw,
                       const std::function<VaultCellLook(int row, int column)>& look);

}  // namespace wrenpost
