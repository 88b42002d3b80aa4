// The keep-awake request through the thread execution state.
#include <windows.h>

#include "monitor/KeepAwake.h"

namespace wrenpost {

void RequestKeepAwake(bool keepAwake) {
    SetThreadExecutionState(keepAwake ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS);
}

}  // namespace wrenpost
