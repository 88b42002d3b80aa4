// The watch on Outlook's new-mail events: a thread of its own (its own apartment and message
// loop) subscribes to ItemAdd of each watched folder's Items and to the application's NewMailEx,
// and turns a burst of notices into one wake of the monitor worker.
#pragma once

#include <chrono>

#include "monitor/MailWatch.h"

namespace wrenpost {

// Never blocks: a thread held inside a hung Outlook is left behind, and calls nothing back
// once the watch is destroyed. `retry`: the wait before subscribing again after a refusal or a
// lost Outlook.
std::unique_ptr<MailWatch> StartOutlookMailWatch(
    std::function<void()> wake, std::function<void(const std::wstring&)> log,
    std::chrono::milliseconds retry = std::chrono::seconds(30));

}  // namespace wrenpost
