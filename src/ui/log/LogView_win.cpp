#include "ui/log/LogView_win.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <mutex>

#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

constexpr COLORREF kHeadColour = RGB(80, 160, 255);
constexpr COLORREF kBodyColour = RGB(0, 255, 0);
constexpr UINT_PTR kSubclassId = 0x4C4F47;  // 'LOG'
constexpr UINT kMenuCopy = 1;
constexpr UINT kMenuClear = 2;

void SetInsertionColour(HWND edit, COLORREF colour) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void InsertText(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetCaret(HWND edit, LONG position) {
    CHARRANGE range{position, position};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

LONG HorizontalPosition(HWND edit, LONG charIndex) {
    POINTL point{};
    SendMessageW(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), charIndex);
    return point.x;
}

LONG FirstVisibleLine(HWND edit) {
    return static_cast<LONG>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
}

// Scrolls by pixels to the top of the target line: EM_LINESCROLL counts in the control's
// default line height, which need not be the height of our lines (wine's rich edit differs).
void ScrollFirstVisibleTo(HWND edit, LONG target) {
    const LONG charIndex = static_cast<LONG>(SendMessageW(edit, EM_LINEINDEX, target, 0));
    if (charIndex < 0) {
        return;
    }
    POINT scroll{};
    SendMessageW(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    POINTL line{};
    SendMessageW(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&line), charIndex);
    scroll.y = std::max<LONG>(0, scroll.y + line.y);
    SendMessageW(edit, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
}

LRESULT CALLBACK LogViewSubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) noexcept {
    auto* view = reinterpret_cast<LogView*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // Reached with Tab to be read, left with Tab: the arrows and paging stay its own.
            return DefSubclassProc(edit, message, wParam, lParam) &
                   ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        case WM_KEYDOWN: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            switch (wParam) {
                case VK_PRIOR:
                case VK_NEXT:
                case VK_END:
                case VK_HOME:
                case VK_UP:
                case VK_DOWN:
                    view->UpdateFollowState();
                    break;
                default:
                    break;
            }
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEWHEEL:
        case WM_VSCROLL: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            view->UpdateFollowState();
            return result;
        }
        case WM_CONTEXTMENU:
            view->ShowContextMenu(POINT{static_cast<LONG>(static_cast<short>(LOWORD(lParam))),
                                        static_cast<LONG>(static_cast<short>(HIWORD(lParam)))});
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, LogViewSubclassProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

bool LoadRichEditLibrary() {
    static std::once_flag once;
    static HMODULE module = nullptr;
    // From the system folder only: a Msftedit.dll planted beside the program or in the current
    // folder must never load.
    std::call_once(once, [] {
        module = LoadLibraryExW(L"Msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    });
    return module != nullptr;
}

LogView::~LogView() {
    Detach();
}

void LogView::SetFont(HFONT font) {
    font_ = font;
    if (edit_ != nullptr && font_ != nullptr) {
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
}

void LogView::Detach() {
    if (edit_ != nullptr && IsWindow(edit_)) {
        RemoveWindowSubclass(edit_, LogViewSubclassProc, kSubclassId);
    }
    if (timerWindow_ != nullptr && IsWindow(timerWindow_)) {
        KillTimer(timerWindow_, timerId_);
    }
    edit_ = nullptr;
    font_ = nullptr;
    timerWindow_ = nullptr;
    timerId_ = 0;
    following_ = true;
    leftAtTick_ = 0;
    suppress_ = 0;
    lineLengths_.clear();
}

bool LogView::Create(HWND parent, int controlId, HFONT font, HWND timerWindow, UINT_PTR timerId) {
    if (!LoadRichEditLibrary()) {
        return false;
    }
    edit_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
            ES_AUTOVSCROLL | ES_READONLY,
        0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (edit_ == nullptr) {
        return false;
    }
    timerWindow_ = timerWindow;
    timerId_ = timerId;
    SendMessageW(edit_, EM_SETBKGNDCOLOR, 0, RGB(0, 0, 0));
    SendMessageW(edit_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SetFont(font);
    SetWindowSubclass(edit_, LogViewSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

LONG LogView::TextLength() const {
    GETTEXTLENGTHEX query{GTL_PRECISE | GTL_NUMCHARS, 1200};
    return static_cast<LONG>(
        SendMessageW(edit_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
}

void LogView::Render(const std::wstring& line) {
    const LONG before = TextLength();
    SetCaret(edit_, before);
    const std::size_t split = line.find(L"] ");
    std::wstring body = line;
    if (split != std::wstring::npos) {
        const std::wstring head = line.substr(0, split + 2);
        body = line.substr(split + 2);
        SetInsertionColour(edit_, kHeadColour);
        InsertText(edit_, head);
        const LONG first = HorizontalPosition(edit_, before);
        const LONG last = HorizontalPosition(edit_, before + static_cast<LONG>(head.size()) - 1);
        LONG width = std::max<LONG>(0, last - first);
        const UniqueWindowDc dc(edit_);
        int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSX) : 0;
        if (dpi <= 0) {
            dpi = 96;
        }
        PARAFORMAT2 paragraph{};
        paragraph.cbSize = sizeof(paragraph);
        paragraph.dwMask = PFM_STARTINDENT | PFM_OFFSET;
        paragraph.dxStartIndent = 0;
        paragraph.dxOffset = MulDiv(width, 1440, dpi);
        SendMessageW(edit_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    }
    SetInsertionColour(edit_, kBodyColour);
    InsertText(edit_, body + L"\r\n");
    lineLengths_.push_back(TextLength() - before);
}

void LogView::RemoveOldestLine() {
    if (lineLengths_.empty()) {
        return;
    }
    const LONG length = lineLengths_.front();
    lineLengths_.pop_front();
    CHARRANGE range{0, length};
    SendMessageW(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    InsertText(edit_, L"");
}

void LogView::Append(const std::wstring& line, std::size_t capacity) {
    if (edit_ == nullptr) {
        return;
    }
    CHARRANGE selection{};
    SendMessageW(edit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const LONG oldFirst = FirstVisibleLine(edit_);
    ++suppress_;
    // One repaint per line instead of one per formatting step.
    SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
    Render(line);
    LONG removedChars = 0;
    LONG removedDisplayLines = 0;
    while (lineLengths_.size() > capacity) {
        if (!following_) {
            // The display line on which the second line starts = display lines the first uses.
            removedDisplayLines +=
                static_cast<LONG>(SendMessageW(edit_, EM_EXLINEFROMCHAR, 0, lineLengths_.front()));
        }
        removedChars += lineLengths_.front();
        RemoveOldestLine();
    }
    if (following_) {
        ScrollToEnd();
    } else {
        CHARRANGE restored{std::max<LONG>(0, selection.cpMin - removedChars),
                           std::max<LONG>(0, selection.cpMax - removedChars)};
        SendMessageW(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&restored));
        ScrollFirstVisibleTo(edit_, std::max<LONG>(0, oldFirst - removedDisplayLines));
    }
    SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit_, nullptr, FALSE);
    --suppress_;
}

void LogView::BeginRebuild() {
    ++suppress_;
    SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(edit_, L"");
    lineLengths_.clear();
}

void LogView::EndRebuild() {
    SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit_, nullptr, TRUE);
    SetFollowing();
    ScrollToEnd();
    --suppress_;
}

void LogView::Clear() {
    ++suppress_;
    SetWindowTextW(edit_, L"");
    lineLengths_.clear();
    SetFollowing();
    ScrollToEnd();
    --suppress_;
}

void LogView::SetFollowing() {
    following_ = true;
    leftAtTick_ = 0;
    if (timerWindow_ != nullptr) {
        KillTimer(timerWindow_, timerId_);
    }
}

void LogView::ScrollToEnd() {
    SetCaret(edit_, TextLength());
    SendMessageW(edit_, WM_VSCROLL, SB_BOTTOM, 0);
}

int LogView::LineHeight() const {
    const UniqueWindowDc dc(edit_);
    if (!dc) {
        return 1;
    }
    HGDIOBJ previous = font_ ? SelectObject(dc.get(), font_) : nullptr;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    if (previous) {
        SelectObject(dc.get(), previous);
    }
    return std::max<int>(1, metrics.tmHeight + metrics.tmExternalLeading);
}

void LogView::UpdateFollowState() {
    if (suppress_ > 0 || edit_ == nullptr) {
        return;
    }
    const LONG lineCount = static_cast<LONG>(SendMessageW(edit_, EM_GETLINECOUNT, 0, 0));
    const LONG first = static_cast<LONG>(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0));
    RECT client{};
    GetClientRect(edit_, &client);
    const LONG visible = std::max<LONG>(1, (client.bottom - client.top) / LineHeight());
    following_ = first + visible >= lineCount - 1;
    if (following_) {
        SetFollowing();
    } else {
        leftAtTick_ = GetTickCount64();
        if (timerWindow_ != nullptr) {
            SetTimer(timerWindow_, timerId_, kReturnDelayMs, nullptr);
        }
    }
}

void LogView::OnReturnTimer() {
    if (timerWindow_ != nullptr) {
        KillTimer(timerWindow_, timerId_);
    }
    if (!following_ && GetTickCount64() - leftAtTick_ >= kReturnDelayMs) {
        ++suppress_;
        ScrollToEnd();
        --suppress_;
        following_ = true;
        leftAtTick_ = 0;
    }
}

void LogView::ShowContextMenu(POINT screenPoint) {
    if (screenPoint.x == -1 && screenPoint.y == -1) {
        RECT rect{};
        GetWindowRect(edit_, &rect);
        screenPoint = POINT{rect.left, rect.top};
    }
    CHARRANGE selection{};
    SendMessageW(edit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return;
    }
    AppendMenuW(menu.get(), MF_STRING | (selection.cpMin == selection.cpMax ? MF_GRAYED : 0),
                kMenuCopy, L"Copy Selected");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, kMenuClear, L"Clear Log");
    const UINT choice =
        static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screenPoint.x,
                                         screenPoint.y, 0, GetParent(edit_), nullptr));
    if (choice == kMenuCopy) {
        SendMessageW(edit_, WM_COPY, 0, 0);
    } else if (choice == kMenuClear) {
        Clear();
    }
}

}  // namespace wrenpost

namespace wrenpost {

void LogView::ScrollToLine(long line) {
    ScrollFirstVisibleTo(edit_, static_cast<LONG>(line));
    UpdateFollowState();
}

}  // namespace wrenpost
