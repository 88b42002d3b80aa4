// The monitor engine's real collaborators on Windows: the COM mail reader, Telegram over WinHTTP
// and the thread execution state.
#pragma once

#include "common/ActivityLog.h"
#include "monitor/MonitorEngine.h"

namespace wrenpost {

// `log` receives the note about a refused TelegramApiBaseUrl setting; the endpoint is resolved
// for every provider, so a changed setting applies from the next message on.
MonitorDependencies WindowsMonitorDependencies(LogFunction log);

}  // namespace wrenpost
