// Finding everything new in a watched folder: a walk over its items, newest first, that passes
// over what the session already handled and ends where nothing unhandled can be any more. The
// walk is portable; the COM reader supplies the items, tests supply them from memory.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

// The cheap first look at one item: enough to pass it over or to end the walk.
struct ItemHeader {
    bool Exists = false;  // false: not an object; the walk goes on with the next index
    std::wstring EntryId;
    bool DeliveryTimeKnown = false;
    std::int64_t DeliveryTimeUtc = 0;  // 100 ns ticks since 1970 UTC
    bool Unread = false;               // read only when asked for (backlog mode)
};

// One opened folder whose items are sorted newest first (index 1 is the newest).
class FolderItems {
public:
    virtual ~FolderItems() = default;
    virtual std::int32_t Count() = 0;
    virtual ItemHeader Header(std::int32_t index, bool withUnread) = 0;
    // The whole snapshot; nothing when the item has neither subject nor entry id (skipped).
    virtual std::optional<MailSnapshot> Snapshot(std::int32_t index) = 0;
};

struct WalkLimits {
    std::int32_t MinimumExamined = 5;    // never ends before these, whatever their times
    std::int32_t MaxNewPerFolder = 200;  // normal mode; the oldest ones are taken first
    std::int32_t BacklogScanBound = 500;
    std::int32_t BacklogMaxNew = 50;
};

// What the session knows of one watched folder when it asks for a read.
struct FolderWalkPlan {
    SelectedFolder Folder;
    // Normal mode: beyond the first MinimumExamined items, the first item with a known delivery
    // time before this ends the walk.
    std::int64_t EndBeforeTicks = std::numeric_limits<std::int64_t>::min();
};

using PassOverKeys = std::unordered_set<std::wstring>;

struct MailReadRequest {
    std::vector<FolderWalkPlan> Folders;
    bool IncludeOld = false;  // backlog mode: unread items among the newest BacklogScanBound
    WalkLimits Limits;
    // Items whose PassOverKey is here are already handled; shared read-only with a reading
    // thread that may outlive the session.
    std::shared_ptr<const PassOverKeys> Handled;
};

// The guarded members of mails already admitted, asked of Outlook after the walk, so a mail the
// session turns away is never opened for its sender's address or its text.
struct MailDetailsRequest {
    std::vector<MailSnapshot> Mails;  // found again by store and entry id
    bool ReadSenderAddress = false;
    bool ReadBody = false;
};

struct MailReadResult {
    bool Ok = false;  // at least one item of a watched folder was looked at (details: connected)
    // Per folder in the request's order, oldest first within a folder; for a details request,
    // the requested mails in order, each with what could be read of it.
    std::vector<MailSnapshot> Messages;
    // Folders where more new items wait than one read takes.
    std::vector<std::wstring> FoldersWithMore;
    // Outlook refused a guarded member (E_ACCESSDENIED): some notifications lack what it holds.
    bool GuardRefused = false;
    // Why Outlook cannot be automated at all, when the user can act on it; empty otherwise.
    std::wstring Unavailable{};
};

// "store+entry||<store>||<entry>", the identity key of a message known by store and entry id;
// empty when either is empty.
std::wstring PassOverKey(const std::wstring& storeId, const std::wstring& entryId);

struct FolderWalkOutcome {
    std::int32_t Examined = 0;  // items whose header was read
    bool MoreWaiting = false;
    bool GuardRefused = false;  // set by the COM reader (MailResult's GuardRefused)
};

// Walks one folder and appends its new snapshots, oldest first.
FolderWalkOutcome WalkFolder(FolderItems& items, const FolderWalkPlan& plan,
                             const MailReadRequest& request, std::vector<MailSnapshot>& out);

}  // namespace wrenpost
