// The walk over one folder's items, newest first.
#include "outlook/FolderWalk.h"

#include <algorithm>

namespace wrenpost {

std::wstring PassOverKey(const std::wstring& storeId, const std::wstring& entryId) {
    if (storeId.empty() || entryId.empty()) {
        return std::wstring();
    }
    return L"store+entry||" + storeId + L"||" + entryId;
}

FolderWalkOutcome WalkFolder(FolderItems& items, const FolderWalkPlan& plan,
                             const MailReadRequest& request, std::vector<MailSnapshot>& out) {
    FolderWalkOutcome outcome;
    const std::int32_t count = items.Count();
    if (count < 1) {
        return outcome;
    }
    const WalkLimits& limits = request.Limits;
    const bool backlog = request.IncludeOld;
    const std::int32_t bound = backlog ? std::min(count, limits.BacklogScanBound) : count;
    const std::int32_t wanted =
        std::max<std::int32_t>(1, backlog ? limits.BacklogMaxNew : limits.MaxNewPerFolder);

    // Newest first; only headers are read here, so a long walk over handled items stays cheap.
    std::vector<std::int32_t> fresh;
    for (std::int32_t index = 1; index <= bound; ++index) {
        const ItemHeader header = items.Header(index, backlog);
        if (!header.Exists) {
            continue;
        }
        ++outcome.Examined;
        // Outlook files a mail seconds after a newer one now and then, so the end is a margin
        // behind the newest handled item, and the first few items (gaps not counted) are always
        // looked at.
        if (!backlog && outcome.Examined > limits.MinimumExamined && header.DeliveryTimeKnown &&
            header.DeliveryTimeUtc < plan.EndBeforeTicks) {
            break;
        }
        if (backlog && !header.Unread) {
            continue;
        }
        const std::wstring key = PassOverKey(plan.Folder.StoreId, header.EntryId);
        if (!key.empty() && request.Handled && request.Handled->count(key) != 0) {
            continue;
        }
        fresh.push_back(index);
        // Backlog mode keeps its limits: the newest unread ones.
        if (backlog && static_cast<std::int32_t>(fresh.size()) >= wanted) {
            break;
        }
    }
    // The oldest `wanted` go first; the newer ones follow in later reads.
    std::size_t first = 0;
    if (static_cast<std::int32_t>(fresh.size()) > wanted) {
        first = fresh.size() - static_cast<std::size_t>(wanted);
        outcome.MoreWaiting = true;
    }
    for (std::size_t i = fresh.size(); i-- > first;) {
        std::optional<MailSnapshot> snapshot = items.Snapshot(fresh[i]);
        if (snapshot) {
            snapshot->FolderPath = plan.Folder.FolderPath;
            snapshot->StoreId = plan.Folder.StoreId;
            out.push_back(std::move(*snapshot));
        }
    }
    return outcome;
}

}  // namespace wrenpost
