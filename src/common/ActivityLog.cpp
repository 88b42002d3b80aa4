#include "common/ActivityLog.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/LocalTime.h"

namespace wrenpost {

const wchar_t* LogLevelWord(LogLevel level) {
    switch (level) {
        case LogLevel::Info:
            return L"INFO";
        case LogLevel::Warning:
            return L"WARNING";
        case LogLevel::Error:
            return L"ERROR";
    }
    return L"INFO";
}

std::wstring FormatLogLine(std::wstring_view timestamp, LogLevel level, std::wstring_view message) {
    std::wstring line;
    line.reserve(timestamp.size() + message.size() + 12);
    line.append(timestamp);
    line.append(L" [");
    line.append(LogLevelWord(level));
    line.append(L"] ");
    line.append(message);
    return line;
}

namespace {

// The sink calls in progress on this thread, per log: a sink that logs nests.
thread_local std::vector<const ActivityLog*> callsOnThisThread;

std::size_t CallsOnThisThread(const ActivityLog* log) {
    return static_cast<std::size_t>(
        std::count(callsOnThisThread.begin(), callsOnThisThread.end(), log));
}

}  // namespace

void ActivityLog::SetSink(Sink sink) {
    Sink previous;
    {
        std::unique_lock lock(mutex_);
        previous = std::exchange(sink_, std::move(sink));
        const std::size_t own = CallsOnThisThread(this);
        idle_.wait(lock, [&] { return inFlight_ <= own; });
    }
    // `previous` (and what it holds) is released outside the lock.
}

void ActivityLog::Log(LogLevel level, std::wstring_view message) const {
    callsOnThisThread.push_back(this);
    struct Finish {
        const ActivityLog* log;
        bool counted = false;
        ~Finish() {
            callsOnThisThread.pop_back();
            if (counted) {
                std::lock_guard lock(log->mutex_);
                --log->inFlight_;
                log->idle_.notify_all();
            }
        }
    } finish{this};
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        if (!sink_) {
            return;
        }
        sink = sink_;
        ++inFlight_;
        finish.counted = true;
    }
    sink(FormatLogLine(FormatLocalTimestamp(), level, message));
}

std::size_t LogLineBuffer::Append(std::wstring line) {
    lines_.push_back(std::move(line));
    std::size_t dropped = 0;
    while (lines_.size() > capacity_) {
        lines_.pop_front();
        ++dropped;
    }
    return dropped;
}

}  // namespace wrenpost
