// Reading watched folders through Outlook's object model, and each message's delivery time.
#include "outlook/MailReader_win.h"

#include <algorithm>
#include <cstdio>

#include "common/Text.h"
#include "outlook/MailReader.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost {
namespace {

constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;
constexpr LONG kBacklogScanBound = 500;
// Object kinds for the DISPID cache; every item of a folder is read as a mail item.
const wchar_t* const kItems = L"Items";
const wchar_t* const kItem = L"MailItem";
const wchar_t* const kAccessor = L"PropertyAccessor";

bool UtcSystemTimeToTicks(const SYSTEMTIME& utc, std::int64_t& ticks) {
    FILETIME file{};
    if (!SystemTimeToFileTime(&utc, &file)) {
        return false;
    }
    ULARGE_INTEGER value;
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    ticks = static_cast<std::int64_t>(value.QuadPart) - kTicksFrom1601To1970;
    return true;
}

// The outcome of trying one source.
struct Attempt {
    bool Succeeded = false;
    bool TzConvertFailed = false;
    VARTYPE Type = VT_ERROR;  // what the value was; VT_ERROR when it could not be obtained
    std::int64_t Ticks = 0;
};

Attempt FromValue(HRESULT hr, const UniqueVariant& value, bool isLocalTime) {
    Attempt attempt;
    if (FAILED(hr)) {
        return attempt;
    }
    attempt.Type = value.type();
    if (value.type() != VT_DATE) {
        return attempt;
    }
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(value.get().date, &time)) {
        attempt.Type = VT_DATE;
        return attempt;
    }
    SYSTEMTIME utc = time;
    if (isLocalTime && !TzSpecificLocalTimeToSystemTime(nullptr, &time, &utc)) {
        attempt.TzConvertFailed = true;
        return attempt;
    }
    attempt.Succeeded = UtcSystemTimeToTicks(utc, attempt.Ticks);
    return attempt;
}

Attempt FromAccessor(IDispatch* accessor, const wchar_t* property) {
    if (accessor == nullptr) {
        return Attempt{};
    }
    const UniqueVariant name = UniqueVariant::String(property);
    UniqueVariant value;
    const HRESULT hr = CallMethod(accessor, L"GetProperty", {&name}, value, kAccessor);
    return FromValue(hr, value, false);
}

Attempt FromLocalProperty(IDispatch* item, const wchar_t* property) {
    UniqueVariant value;
    const HRESULT hr = GetProperty(item, property, value, kItem);
    return FromValue(hr, value, true);
}

std::wstring Describe(const wchar_t* label, const Attempt& attempt) {
    if (attempt.TzConvertFailed) {
        return std::wstring(label) + L" TzConvertFailed";
    }
    return std::wstring(label) + L" vt=" + ToWideDecimal(attempt.Type);
}

std::wstring ReceivedTimeText(IDispatch* item) {
    UniqueVariant value;
    SYSTEMTIME time{};
    if (FAILED(GetProperty(item, L"ReceivedTime", value, kItem)) || value.type() != VT_DATE ||
        !VariantTimeToSystemTime(value.get().date, &time)) {
        return std::wstring();
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d-%02d-%02d %02d:%02d:%02d", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return text;
}

std::wstring InternetMessageId(IDispatch* accessor) {
    if (accessor == nullptr) {
        return std::wstring();
    }
    const UniqueVariant name = UniqueVariant::String(kInternetMessageIdProperty);
    UniqueVariant value;
    if (FAILED(CallMethod(accessor, L"GetProperty", {&name}, value, kAccessor)) ||
        value.type() != VT_BSTR || value.get().bstrVal == nullptr) {
        return std::wstring();
    }
    return std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
}

void ApplyDeliveryTime(IDispatch* item, IDispatch* accessor, MailSnapshot& snapshot) {
    snapshot.DeliveryTimeUtc = 0;
    snapshot.TimestampSource = UnknownTimestampSource;
    snapshot.DeliveryTimeKnown = false;
    snapshot.DeliveryDiagnostics.clear();

    // Each source is tried only when the ones before it gave nothing.
    Attempt tried[4];
    const TimestampSourceKind kinds[4] = {MapiDeliveryTime, ObjectModelReceivedTime,
                                          SubmitOrSentTime, SubmitOrSentTime};
    for (int source = 0; source < 4; ++source) {
        switch (source) {
            case 0:
                tried[0] = FromAccessor(accessor, kDeliveryTimeProperty);
                break;
            case 1:
                tried[1] = FromLocalProperty(item, L"ReceivedTime");
                break;
            case 2:
                tried[2] = FromAccessor(accessor, kSubmitTimeProperty);
                break;
            default:
                tried[3] = FromLocalProperty(item, L"SentOn");
                break;
        }
        if (tried[source].Succeeded) {
            snapshot.DeliveryTimeUtc = tried[source].Ticks;
            snapshot.TimestampSource = kinds[source];
            snapshot.DeliveryTimeKnown = true;
            return;
        }
    }
    snapshot.DeliveryDiagnostics =
        Describe(L"MapiDeliveryTime", tried[0]) + Describe(L"; ReceivedTime", tried[1]) +
        Describe(L"; SubmitTime", tried[2]) + Describe(L"; SentOn", tried[3]);
}

}  // namespace

void ReadOneFolder(IDispatch* mapiNamespace, const SelectedFolder& folder, int limit,
                   bool includeOld, std::vector<MailSnapshot>& out) {
    const UniqueVariant entryId = UniqueVariant::String(folder.EntryId.c_str());
    const UniqueVariant storeId = UniqueVariant::String(folder.StoreId.c_str());
    UniqueVariant opened;
    if (FAILED(CallMethod(mapiNamespace, L"GetFolderFromID", {&entryId, &storeId}, opened,
                          L"Namespace"))) {
        return;
    }
    const DispatchPtr outlookFolder = TakeObject(opened);
    if (!outlookFolder) {
        return;
    }
    const DispatchPtr items = GetObjectProperty(outlookFolder.get(), L"Items", L"Folder");
    if (!items) {
        return;
    }
    {
        const UniqueVariant key = UniqueVariant::String(L"[ReceivedTime]");
        const UniqueVariant descending = UniqueVariant::Bool(true);
        UniqueVariant ignored;
        // Unsorted items are still read; the order then is Outlook's own.
        (void)CallMethod(items.get(), L"Sort", {&key, &descending}, ignored, kItems);
    }
    const LONG count = GetCountProperty(items.get(), L"Count", kItems);
    if (count < 1) {
        return;
    }
    const LONG wanted = limit < 1 ? 3 : limit;
    const LONG scanBound = std::min(count, includeOld ? kBacklogScanBound : wanted);
    LONG taken = 0;
    for (LONG i = 1; i <= scanBound && taken < wanted; ++i) {
        const DispatchPtr item = GetItemObject(items.get(), i, kItems);
        if (!item) {
            continue;
        }
        if (includeOld) {
            UniqueVariant unread;
            if (FAILED(GetProperty(item.get(), L"UnRead", unread, kItem)) ||
                unread.type() != VT_BOOL || unread.get().boolVal == VARIANT_FALSE) {
                continue;
            }
        }
        MailSnapshot snapshot;
        snapshot.FolderPath = folder.FolderPath;
        snapshot.StoreId = folder.StoreId;
        snapshot.Subject = GetStringProperty(item.get(), L"Subject", kItem);
        snapshot.SenderName = GetStringProperty(item.get(), L"SenderName", kItem);
        snapshot.EntryId = GetStringProperty(item.get(), L"EntryID", kItem);
        snapshot.ReceivedTime = ReceivedTimeText(item.get());
        const DispatchPtr accessor = GetObjectProperty(item.get(), L"PropertyAccessor", kItem);
        snapshot.InternetMessageId = InternetMessageId(accessor.get());
        ApplyDeliveryTime(item.get(), accessor.get(), snapshot);
        if (snapshot.Subject.empty() && snapshot.EntryId.empty()) {
            continue;
        }
        out.push_back(std::move(snapshot));
        ++taken;
    }
}

bool ReadWatchedFolders(const std::vector<SelectedFolder>& folders, int limit, bool includeOld,
                        std::vector<MailSnapshot>& out) {
    out.clear();
    if (folders.empty()) {
        return false;
    }
    OutlookConnection connection;
    if (!connection.Connect()) {
        return false;
    }
    for (const SelectedFolder& folder : folders) {
        ReadOneFolder(connection.Namespace(), folder, limit, includeOld, out);
    }
    return !out.empty();
}

}  // namespace wrenpost
