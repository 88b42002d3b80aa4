// No power management to talk to outside Windows.
#include "monitor/KeepAwake.h"

namespace wrenpost {

void RequestKeepAwake(bool) {}

}  // namespace wrenpost
