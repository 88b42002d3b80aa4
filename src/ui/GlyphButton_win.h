// A button that shows a glyph while its window text is the name a screen reader speaks ("Add
// Token" for "+"). Such buttons are owner-drawn; DialogDefault draws them for every dialog.
#pragma once

#include <windows.h>

namespace wrenpost {

struct ButtonGlyph {
    const wchar_t* name;      // the window text: spoken, and where its mnemonic lives
    const wchar_t* glyph;     // drawn when the button's font has every character of it
    const wchar_t* fallback;  // drawn otherwise (a missing glyph shows as an empty box)
};

inline constexpr DWORD kGlyphButtonStyle = BS_OWNERDRAW | WS_TABSTOP;

// `look` must outlive the button (a constant): the button keeps a pointer to it.
void SetButtonGlyph(HWND button, const ButtonGlyph& look);

// Whether the button's font has every character of `text` (no surrogate pair ever counts).
bool FontHasGlyphs(HDC dc, const wchar_t* text);

// WM_DRAWITEM for a button given a glyph; false for any other item.
bool DrawGlyphButton(const DRAWITEMSTRUCT& item);

}  // namespace wrenpost
