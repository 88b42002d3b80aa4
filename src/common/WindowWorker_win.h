// Workers that report to a window: the guarded launcher plus the posted-record channel. The
// window is taken by value and never read again; once it is gone, PostRecord frees the record.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "common/PostedRecord_win.h"

namespace wrenpost {

struct WindowWorker {
    HWND window = nullptr;
    UINT message = 0;
    // The worker's result, built on the worker thread.
    std::function<std::unique_ptr<PostedRecord>()> work;
    // The record posted instead when no thread could be created or `work` threw; it is of the
    // type the window expects for `message`, so the window's one handler sees every outcome.
    std::function<std::unique_ptr<PostedRecord>(const std::wstring& reason)> failure;
    // Optional: runs when the record (result or failure) could not be posted.
    std::function<void()> undelivered;
};

// Starts the worker; false when its thread could not be created (the failure record is posted
// all the same).
bool LaunchWindowWorker(WindowWorker worker) noexcept;

}  // namespace wrenpost
