// "Message Options": what a profile's notifications show, when they arrive silently and when a
// burst becomes one message, with a live preview of a sample notification.
#pragma once

#include <windows.h>

#include <string>

#include "monitor/NotificationText.h"
#include "profile/MessageOptions.h"

namespace wrenpost {

inline constexpr wchar_t kMessageOptionsClass[] = L"WrenpostMessageOptionsDialog";
inline constexpr int kMessageOptionsNoteId = 9816;  // the note under the preview
inline constexpr int kMessageQuietId = 9803;
inline constexpr int kMessageBurstsId = 9813;

struct MessageOptionsRequest {
    MessageOptions options;  // shown at opening; replaced at OK
    std::wstring title;      // the sample notification's title
    // Shown under the preview when not empty: what the running session could not read.
    std::wstring note;
    DeliveryTimeFormatter formatTime;  // the preview's "Received:" time
};

// Modal; true, with `request.options` replaced, when the user pressed OK on valid values.
bool ShowMessageOptionsDialog(HWND owner, MessageOptionsRequest& request);

}  // namespace wrenpost
