#include "ui/vault/VaultWindowLook_win.h"

namespace wrenpost {
namespace {

constexpr COLORREF kBlinkColour = RGB(255, 244, 150);

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

bool EmojiFontInstalled() {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(wanted.lfFaceName, kEmojiFontName);
    bool found = false;
    const HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

const wchar_t* VaultIconCell(int column, bool shown, bool emoji) {
    switch (column) {
        case kColumnRefresh:
            return emoji ? L"\u21BB" : L"Refresh";
        case kColumnShow:
            return emoji ? (shown ? L"\U0001F648" : L"\U0001F441") : (shown ? L"Hide" : L"Show");
        case kColumnInstance:
            return emoji ? L"\U0001F5D0" : L"Open";
        case kColumnDelete:
            return emoji ? L"\u2716" : L"Delete";
        default:
            return emoji ? L"\u270E" : L"Notes";
    }
}

bool IsVaultTextColumn(int column) {
    return column == kColumnName || column == kColumnUsername || column == kColumnToken;
}

LRESULT PaintVaultCell(NMLVCUSTOMDRAW& draw,
                       const std::function<VaultCellLook(int row, int column)>& look) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
            draw.clrTextBk = GetSysColor(COLOR_WINDOW);
            // System colours, so a high-contrast scheme's hold; the blink's yellow could vanish
            // against such a scheme's background, so there it inverts the cell instead.
            switch (look(static_cast<int>(draw.nmcd.dwItemSpec), draw.iSubItem)) {
                case VaultCellLook::Blinking: {
                    const bool contrast = HighContrastOn();
                    draw.clrText = contrast ? GetSysColor(COLOR_WINDOW) : RGB(0, 0, 0);
                    draw.clrTextBk = contrast ? GetSysColor(COLOR_WINDOWTEXT) : kBlinkColour;
                    break;
                }
                case VaultCellLook::Selected:
                    draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
                    draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
                    break;
                case VaultCellLook::Plain:
                    break;
            }
            return CDRF_NEWFONT;
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace wrenpost
