// The watch on Outlook's new-mail events: a thread of its own (its own apartment and message
// loop) subscribes to ItemAdd of each watched folder's Items and to the application's NewMailEx,
// and turns a burst of notices into one wake of the monitor worker.
#pragma once

#include "monitor/MailWatch.h"

namespace wrenpost {

// Never blocks: a thread held inside a hung Outlook is left behind, and calls nothing back
// once the watch is destroyed.
std::unique_ptr<MailWatch> StartOutlookMailWatch(std::function<void()> wake,
                                                 std::function<void(const std::wstring&)> log);

}  // namespace wrenpost
