// The activity log: the single place where the program reports what it did. Callable from any
// thread; the sink (the main window) decides how a finished line reaches the screen.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace wrenpost {

enum class LogLevel { Info, Warning, Error };

// "INFO", "WARNING", "ERROR".
const wchar_t* LogLevelWord(LogLevel level);

// timestamp + " [" + level + "] " + message.
std::wstring FormatLogLine(std::wstring_view timestamp, LogLevel level, std::wstring_view message);

// A logging function handed to components that must not know the log itself.
using LogFunction = std::function<void(LogLevel, const std::wstring&)>;

class ActivityLog {
public:
    using Sink = std::function<void(std::wstring line)>;

    // Installs or (with null) detaches the sink. On return no call of the previous sink is
    // running on another thread and none will start, so its owner may be destroyed. A call in
    // progress on the calling thread itself (a sink that replaces the sink) is not waited for.
    void SetSink(Sink sink);

    // Lines logged while no sink is installed are dropped. The sink runs outside the lock, so it
    // may log or post itself.
    void Log(LogLevel level, std::wstring_view message) const;
    void Info(std::wstring_view message) const { Log(LogLevel::Info, message); }
    void Warning(std::wstring_view message) const { Log(LogLevel::Warning, message); }
    void Error(std::wstring_view message) const { Log(LogLevel::Error, message); }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable idle_;
    mutable std::size_t inFlight_ = 0;  // sink calls running, on every thread
    Sink sink_;
};

// The finished lines in arrival order, at most `capacity` of them.
class LogLineBuffer {
public:
    static constexpr std::size_t kDefaultCapacity = 5000;

    explicit LogLineBuffer(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // Returns how many of the oldest lines were dropped to stay within the capacity.
    std::size_t Append(std::wstring line);

    const std::deque<std::wstring>& Lines() const { return lines_; }
    std::size_t Capacity() const { return capacity_; }

private:
    std::size_t capacity_;
    std::deque<std::wstring> lines_;
};

}  // namespace wrenpost
