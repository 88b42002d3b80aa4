// An Outlook mailbox in memory, read through the real folder walk: what a cycle finds depends on
// what the session handled, as with the COM reader.
#pragma once

#include <algorithm>
#include <map>
#include <mutex>

#include "monitor/MonitorEngine.h"
#include "outlook/FolderWalk.h"

namespace wrenpost::testing {

class FakeMailbox {
public:
    // Files a mail; folders are sorted by delivery time, newest first, as Outlook sorts them.
    void File(const MailSnapshot& mail) { File(std::vector<MailSnapshot>{mail}); }
    void File(const std::vector<MailSnapshot>& mails) {
        std::lock_guard lock(s_->mutex);
        for (const MailSnapshot& mail : mails) {
            s_->folders[mail.FolderPath].push_back(mail);
        }
        for (auto& [path, items] : s_->folders) {
            std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
                return a.DeliveryTimeUtc > b.DeliveryTimeUtc;
            });
        }
    }

    FolderReader Reader() {
        return [s = s_](const MailReadRequest& request) {
            std::lock_guard lock(s->mutex);
            MailReadResult result;
            for (const FolderWalkPlan& plan : request.Folders) {
                Items items{s->folders[plan.Folder.FolderPath]};
                const FolderWalkOutcome outcome = WalkFolder(items, plan, request, result.Messages);
                result.Ok = result.Ok || outcome.Examined > 0;
                if (outcome.MoreWaiting) {
                    result.FoldersWithMore.push_back(plan.Folder.FolderPath);
                }
            }
            return result;
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::map<std::wstring, std::vector<MailSnapshot>> folders;
    };
    struct Items final : FolderItems {
        explicit Items(const std::vector<MailSnapshot>& m) : mails(m) {}
        const std::vector<MailSnapshot>& mails;
        std::int32_t Count() override { return static_cast<std::int32_t>(mails.size()); }
        ItemHeader Header(std::int32_t index, bool) override {
            const MailSnapshot& m = mails[static_cast<std::size_t>(index - 1)];
            return {true, m.EntryId, m.DeliveryTimeKnown, m.DeliveryTimeUtc, true};
        }
        std::optional<MailSnapshot> Snapshot(std::int32_t index) override {
            return mails[static_cast<std::size_t>(index - 1)];
        }
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
};

}  // namespace wrenpost::testing
