// There is no Outlook outside Windows: reading finds nothing, which the engine treats as a
// failed read.
#include "outlook/MailReader.h"

namespace wrenpost {

MailReadResult ReadWatchedFolders(const MailReadRequest&) {
    return MailReadResult();
}

MailReadResult ReadMailDetails(const MailDetailsRequest&) {
    return MailReadResult();
}

}  // namespace wrenpost
