// Walking Outlook's stores and folders.
#include "outlook/FolderDiscovery_win.h"

#include "common/LocalTime.h"
#include "common/WindowWorker_win.h"
#include "outlook/FolderExclusion.h"
#include "outlook/NewOutlook_win.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost {
namespace {

SelectedFolder ReadFolderRecord(IDispatch* folder, int depth) {
    SelectedFolder record;
    record.Name = GetStringProperty(folder, L"Name");
    record.FolderPath = GetStringProperty(folder, L"FolderPath");
    record.EntryId = GetStringProperty(folder, L"EntryID");
    record.StoreId = GetStringProperty(folder, L"StoreID");
    record.DetectedOn = FormatLocalTimestamp();
    record.Depth = depth;
    const DispatchPtr store = GetObjectProperty(folder, L"Store");
    if (store) {
        record.StoreName = GetStringProperty(store.get(), L"DisplayName");
    }
    return record;
}

// One open Folders collection on the walk.
struct Level {
    DispatchPtr Collection;
    LONG Count = 0;
    LONG Next = 1;
    int Depth = 0;
};

void WalkFolders(DispatchPtr roots, std::vector<SelectedFolder>& folders) {
    // An explicit stack rather than recursion: the depth is Outlook's, not ours.
    std::vector<Level> stack;
    const LONG rootCount = GetCountProperty(roots.get(), L"Count");
    stack.push_back(Level{std::move(roots), rootCount, 1, 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.Next > level.Count) {
            stack.pop_back();
            continue;
        }
        const LONG index = level.Next++;
        const int depth = level.Depth;
        const DispatchPtr folder = GetItemObject(level.Collection.get(), index);
        if (!folder) {
            continue;
        }
        SelectedFolder record = ReadFolderRecord(folder.get(), depth);
        if (!IsExcludedFolder(record)) {
            folders.push_back(std::move(record));
        }
        // Subfolders are walked even below a folder that is not offered.
        DispatchPtr children = GetObjectProperty(folder.get(), L"Folders");
        if (children) {
            const LONG count = GetCountProperty(children.get(), L"Count");
            stack.push_back(Level{std::move(children), count, 1, depth + 1});
        }
    }
}

}  // namespace

bool DiscoverFolders(std::vector<SelectedFolder>& folders, std::wstring* explanation) {
    folders.clear();
    std::wstring ignored;
    std::wstring& told = explanation ? *explanation : ignored;
    told = kFolderDetectionFailedText;
    OutlookConnection connection;
    if (!connection.Connect()) {
        if (const std::wstring newOutlook = NewOutlookOnlyText(connection.Error());
            !newOutlook.empty()) {
            told = newOutlook;
        }
        return false;
    }
    DispatchPtr roots = GetObjectProperty(connection.Namespace(), L"Folders");
    if (roots) {
        WalkFolders(std::move(roots), folders);
    }
    return !folders.empty();
}

bool StartFolderDetection(HWND window) {
    WindowWorker worker;
    worker.window = window;
    worker.message = kFolderDiscoveryMessage;
    worker.work = [] {
        auto record = std::make_unique<FolderDiscoveryRecord>();
        record->Found = DiscoverFolders(record->Folders, &record->Explanation);
        return record;
    };
    worker.failure = [](const std::wstring& reason) {
        auto record = std::make_unique<FolderDiscoveryRecord>();
        record->Failure = reason;
        return record;
    };
    return LaunchWindowWorker(std::move(worker));
}

}  // namespace wrenpost
