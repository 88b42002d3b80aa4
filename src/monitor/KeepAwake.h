// Asking the system not to sleep while a monitor session runs.
#pragma once

namespace wrenpost {

// On Windows: SetThreadExecutionState for the calling thread (continuous system-required while
// `keepAwake`, plain continuous to release). Elsewhere there is nothing to ask.
void RequestKeepAwake(bool keepAwake);

}  // namespace wrenpost
