// The walk over one folder, newest first, against items in memory: where it ends, what it
// passes over, how many it takes and in which order.
#include <gtest/gtest.h>

#include "outlook/FolderWalk.h"

namespace wrenpost {
namespace {

constexpr std::int64_t kMinute = 600000000;

struct Item {
    std::wstring Entry;  // empty: the item has no entry id
    std::int64_t Minute = 0;
    bool Dated = true;
    bool Unread = true;
    bool Exists = true;
};

// Items given newest first, as Outlook's sort leaves them.
class MemoryItems final : public FolderItems {
public:
    explicit MemoryItems(std::vector<Item> items) : items_(std::move(items)) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(items_.size()); }
    ItemHeader Header(std::int32_t index, bool withUnread) override {
        const Item& item = items_[static_cast<std::size_t>(index - 1)];
        return {item.Exists, item.Entry, item.Dated, item.Minute * kMinute,
                withUnread && item.Unread};
    }
    std::optional<MailSnapshot> Snapshot(std::int32_t index) override {
        MailSnapshot snapshot;
        snapshot.EntryId = items_[static_cast<std::size_t>(index - 1)].Entry;
        snapshot.Subject = L"#" + std::to_wstring(index);
        return snapshot;
    }

private:
    std::vector<Item> items_;
};

using Items = std::vector<Item>;

// Twelve dated items a minute apart, newest (minute 12) first, with entry ids e12 .. e1, as
// `change` leaves them.
Items Twelve(void (*change)(Items&) = [](Items&) {}) {
    Items items;
    for (int minute = 12; minute >= 1; --minute) {
        items.push_back({L"e" + std::to_wstring(minute), minute});
    }
    change(items);
    return items;
}

struct WalkCase {
    const char* name;
    std::vector<Item> items;
    std::int64_t endBeforeMinute;
    std::vector<std::wstring> handled;  // entry ids
    bool backlog;
    WalkLimits limits;
    std::wstring taken;  // subjects (the item's position), in the order returned
    bool more;
    int examined;
};

class Walk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(Walk, EndsPassesOverAndTakesTheOldestFirst) {
    const WalkCase& row = GetParam();
    MemoryItems items(row.items);
    auto handled = std::make_shared<PassOverKeys>();
    for (const std::wstring& entry : row.handled) {
        handled->insert(PassOverKey(L"S", entry));
    }
    MailReadRequest request;
    request.IncludeOld = row.backlog;
    request.Limits = row.limits;
    request.Handled = handled;
    FolderWalkPlan plan;
    plan.Folder.StoreId = L"S";
    plan.Folder.FolderPath = L"\\\\Mailbox\\Inbox";
    plan.EndBeforeTicks = row.endBeforeMinute * kMinute;
    std::vector<MailSnapshot> out;
    const FolderWalkOutcome outcome = WalkFolder(items, plan, request, out);
    std::wstring taken;
    for (const MailSnapshot& snapshot : out) {
        taken += snapshot.Subject;
        EXPECT_EQ(snapshot.FolderPath, L"\\\\Mailbox\\Inbox");
        EXPECT_EQ(snapshot.StoreId, L"S");
    }
    EXPECT_EQ(taken, row.taken);
    EXPECT_EQ(outcome.MoreWaiting, row.more);
    EXPECT_EQ(outcome.Examined, row.examined);
}

const Items kUndated = Twelve([](Items& i) { i[5].Dated = i[6].Dated = false; });  // #6, #7
const Items kWithoutEntries = Twelve([](Items& i) { i[0].Entry = i[1].Entry = L""; });
const Items kWithGaps = Twelve([](Items& i) { i[1].Exists = false; });
const Items kMostlyRead = Twelve([](Items& items) {  // #1, #4, #7, #10 unread
    for (std::size_t i = 0; i < items.size(); ++i) items[i].Unread = i % 3 == 0;
});

// clang-format off
INSTANTIATE_TEST_SUITE_P(Folder, Walk, ::testing::ValuesIn(std::vector<WalkCase>{
    {"EmptyFolder", {}, 0, {}, false, {}, L"", false, 0},
    {"AllNew", Twelve(), 0, {}, false, {}, L"#12#11#10#9#8#7#6#5#4#3#2#1", false, 12},
    {"EndsAtTheFirstOlder", Twelve(), 6, {}, false, {}, L"#7#6#5#4#3#2#1", false, 8},
    {"AlwaysTheNewestFive", Twelve(), 99, {}, false, {}, L"#5#4#3#2#1", false, 6},
    {"PassesOverHandled", Twelve(), 6, {L"e12", L"e10"}, false, {}, L"#7#6#5#4#2", false, 8},
    {"CapTakesTheOldest", Twelve(), 0, {}, false, {5, 3, 500, 50}, L"#12#11#10", true, 12},
    {"UnknownTimeNeverEnds", kUndated, 99, {}, false, {}, L"#7#6#5#4#3#2#1", false, 8},
    {"NoEntryIdIsNeverPassedOver", kWithoutEntries, 99, {L""}, false, {}, L"#5#4#3#2#1", false, 6},
    {"MissingItemsAreSkipped", kWithGaps, 99, {}, false, {}, L"#6#5#4#3#1", false, 6},
    {"BacklogNewestUnread", kMostlyRead, 99, {L"e12"}, true, {5, 200, 9, 2}, L"#7#4", false, 7},
    {"BacklogScansItsBound", kMostlyRead, 99, {}, true, {5, 200, 3, 50}, L"#1", false, 3}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace wrenpost
