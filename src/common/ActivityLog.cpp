#include "common/ActivityLog.h"

#include "common/LocalTime.h"

namespace wrenpost {

const wchar_t* LogLevelWord(LogLevel level) {
    switch (level) {
        case LogLevel::Info: return L"INFO";
        case LogLevel::Warning: return L"WARNING";
        case LogLevel::Error: return L"ERROR";
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

void ActivityLog::SetSink(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void ActivityLog::Log(LogLevel level, std::wstring_view message) const {
    Sink sink;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    if (sink) {
        sink(FormatLogLine(FormatLocalTimestamp(), level, message));
    }
}

LogFunction ActivityLog::AsFunction() const {
    return [this](LogLevel level, const std::wstring& message) { Log(level, message); };
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
