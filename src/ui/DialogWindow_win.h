// What the program's own dialog windows share: the owner's DPI, the message font at that DPI, a
// place centred over the owner, their window class and their controls laid out in 96-DPI units.
#pragma once

#include <windows.h>

namespace wrenpost {

inline constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The owner's DPI (the system's without one).
UINT DialogDpi(HWND owner);

// The system's message font at `dpi`.
LOGFONTW MessageFontFor(UINT dpi);

// Centred over the owner while it is on screen, otherwise on its monitor, and kept inside that
// monitor's work area either way.
POINT CentredPosition(HWND owner, SIZE size);

// A class whose windows leave to DefDlgProcW what they do not handle (Tab order, the default
// button, focus kept across activation); DefDlgProcW keeps its state in the extra bytes.
bool RegisterDialogClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// A dialog window of that class with the client size given in 96-DPI units, centred over
// `owner`; `self` reaches WM_NCCREATE.
HWND CreateDialogWindow(const wchar_t* className, const wchar_t* title, HWND owner, UINT dpi,
                        int clientWidth, int clientHeight, void* self);

// What a dialog leaves to the dialog manager, after freeing the worker records still queued for
// it when it goes (WM_NCDESTROY); it also draws the dialog's glyph buttons.
LRESULT DialogDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct ButtonGlyph;

struct DialogControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;              // besides WS_CHILD | WS_VISIBLE
    int x, y, width, height;  // 96-DPI units
    const ButtonGlyph* glyph = nullptr;  // an owner-drawn button's look; its name is the text
};

// Null when the control could not be made.
HWND CreateDialogControl(HWND dialog, const DialogControl& control, UINT dpi, HFONT font);

}  // namespace wrenpost
