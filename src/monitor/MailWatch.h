// Outlook's own new-mail notice, so that a mail is sent within about a second instead of at the
// next check. The checks stay as the backstop: a watch only wakes the worker, it never reads.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "profile/ProfileConfig.h"

namespace wrenpost {

class MailWatch {
public:
    virtual ~MailWatch() = default;  // returns at once; no callback runs after it returns
    // The folders to watch from now on; never blocks (the watch resubscribes on its own thread).
    virtual void Watch(const std::vector<SelectedFolder>& folders) = 0;
};

// `wake` asks for a cycle now; `log` receives the watch's few lines. Both may be called from the
// watch's own thread.
using MailWatchFactory = std::function<std::unique_ptr<MailWatch>(
    std::function<void()> wake, std::function<void(const std::wstring&)> log)>;

}  // namespace wrenpost
