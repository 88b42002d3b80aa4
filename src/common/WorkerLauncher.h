// The one way to start a detached worker thread. A thread that cannot be created, or a worker
// that throws, ends in the caller's failure handler instead of std::terminate or silence, so the
// owner of the work always hears back.
#pragma once

#include <functional>
#include <string>

namespace wrenpost {

using WorkerFailure = std::function<void(const std::wstring& reason)>;

// Runs `work` on a detached thread. When the thread cannot be created, `failed` runs on the
// calling thread and the result is false; when `work` throws, `failed` runs on the worker.
// Nothing escapes either handler.
bool LaunchWorker(std::function<void()> work, WorkerFailure failed) noexcept;

// How threads are created: runs `body` on a new detached thread, or returns false / throws
// (std::system_error, as std::thread does) when it cannot.
using ThreadCreator = std::function<bool(std::function<void()> body)>;

// Replaces the thread creator of every launch for its lifetime (tests make creation fail).
class ScopedThreadCreator {
public:
    explicit ScopedThreadCreator(ThreadCreator creator);
    ~ScopedThreadCreator();
    ScopedThreadCreator(const ScopedThreadCreator&) = delete;
    ScopedThreadCreator& operator=(const ScopedThreadCreator&) = delete;

private:
    ThreadCreator previous_;
};

}  // namespace wrenpost
