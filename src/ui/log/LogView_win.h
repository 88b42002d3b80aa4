// One rich-edit view of the activity log: two-colour rendering with a hanging indent, and the
// follow state (a reader who scrolls away is not pulled down; three minutes later the view
// returns to the newest line by itself).
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

namespace wrenpost {

class LogView {
public:
    static constexpr UINT kReturnDelayMs = 180000;

    LogView() = default;
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;
    ~LogView();

    // Creates the RICHEDIT50W child (black background, the given font) and watches the user's
    // scrolling. `timerWindow`/`timerId` name the return timer. False when the control cannot
    // be created.
    bool Create(HWND parent, int controlId, HFONT font, HWND timerWindow, UINT_PTR timerId);
    HWND Control() const { return edit_; }
    // The font is the caller's and must outlive its use here (line heights are measured with it).
    void SetFont(HFONT font);
    // Forgets the control (it is being destroyed) so the next Create starts afresh.
    void Detach();

    // Appends one line; while the view holds more than `capacity` lines the oldest is removed,
    // keeping the text under a reader's eyes in place.
    void Append(const std::wstring& line, std::size_t capacity);
    // Replaces the content by the given lines, then follows the newest.
    template <typename Lines>
    void Rebuild(const Lines& lines) {
        BeginRebuild();
        for (const auto& line : lines) {
            if (!line.empty()) {
                Render(line);
            }
        }
        EndRebuild();
    }
    void Clear();

    void ScrollToEnd();
    bool IsFollowing() const { return following_; }
    std::size_t LineCount() const { return lineLengths_.size(); }

    // The return timer fired.
    void OnReturnTimer();
    // Recomputes the follow state after a user action (public for the subclass procedure).
    void UpdateFollowState();
    // Scrolls as the user would, so that `line` is the first visible line.
    void ScrollToLine(long line);
    // Shows the context menu ("Copy Selected", "Clear Log") at a screen point (-1,-1: the
    // view's top-left corner).
    void ShowContextMenu(POINT screenPoint);

private:
    void Render(const std::wstring& line);
    void RemoveOldestLine();
    void BeginRebuild();
    void EndRebuild();
    void SetFollowing();
    int LineHeight() const;
    LONG TextLength() const;

    HWND edit_ = nullptr;
    HFONT font_ = nullptr;
    HWND timerWindow_ = nullptr;
    UINT_PTR timerId_ = 0;
    bool following_ = true;
    std::uint64_t leftAtTick_ = 0;
    int suppress_ = 0;
    std::deque<LONG> lineLengths_;  // characters each rendered line occupies in the control
};

// Loads Msftedit.dll once per process; false when it is not available.
bool LoadRichEditLibrary();

}  // namespace wrenpost
