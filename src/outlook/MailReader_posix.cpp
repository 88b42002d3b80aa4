// There is no Outlook outside Windows: reading finds nothing, which the engine treats as a
// failed read.
#include "outlook/MailReader.h"

namespace wrenpost {

bool ReadWatchedFolders(const std::vector<SelectedFolder>&, int, bool,
                        std::vector<MailSnapshot>& out) {
    out.clear();
    return false;
}

}  // namespace wrenpost
