// Reading watched folders through Outlook's object model: the walk's items, each message's
// delivery time and its snapshot.
#include "outlook/MailReader_win.h"

#include <cstdio>
#include <map>
#include <optional>

#include "common/Text.h"
#include "outlook/MailReader.h"
#include "outlook/NewOutlook_win.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost {
namespace {

constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;
// Items kept open from their header to their snapshot. An Exchange server lets one session
// hold only so many items open (250 by default), so only the latest few stay open.
constexpr std::size_t kOpenItems = 32;
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

Attempt FromLocalProperty(IDispatch* item, const wchar_t* property, UniqueVariant& value) {
    const HRESULT hr = GetProperty(item, property, value, kItem);
    return FromValue(hr, value, true);
}

std::wstring Describe(const wchar_t* label, const Attempt& attempt) {
    if (attempt.TzConvertFailed) {
        return std::wstring(label) + L" TzConvertFailed";
    }
    return std::wstring(label) + L" vt=" + ToWideDecimal(attempt.Type);
}

std::wstring ReceivedTimeText(const UniqueVariant& value) {
    SYSTEMTIME time{};
    if (value.type() != VT_DATE || !VariantTimeToSystemTime(value.get().date, &time)) {
        return std::wstring();
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d-%02d-%02d %02d:%02d:%02d", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return text;
}

std::wstring ReceivedTimeText(IDispatch* item) {
    UniqueVariant value;
    return FAILED(GetProperty(item, L"ReceivedTime", value, kItem)) ? std::wstring()
                                                                    : ReceivedTimeText(value);
}

struct OpenItem {
    DispatchPtr Item;
    DispatchPtr Accessor;
};

std::wstring StringOf(HRESULT hr, const UniqueVariant& value) {
    if (FAILED(hr) || value.type() != VT_BSTR || value.get().bstrVal == nullptr) {
        return std::wstring();
    }
    return std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
}

std::wstring AccessorString(IDispatch* accessor, const wchar_t* property, bool* refused) {
    if (accessor == nullptr) {
        return std::wstring();
    }
    const UniqueVariant name = UniqueVariant::String(property);
    UniqueVariant value;
    const HRESULT hr = CallMethod(accessor, L"GetProperty", {&name}, value, kAccessor);
    if (refused != nullptr && hr == E_ACCESSDENIED) {
        *refused = true;
    }
    return StringOf(hr, value);
}

std::wstring InternetMessageId(IDispatch* accessor) {
    return AccessorString(accessor, kInternetMessageIdProperty, nullptr);
}

// A member the object model guards; where Outlook refuses it the notification goes without.
std::wstring GuardedString(IDispatch* item, const wchar_t* name, bool& refused) {
    UniqueVariant value;
    const HRESULT hr = GetProperty(item, name, value, kItem);
    refused = refused || hr == E_ACCESSDENIED;
    return StringOf(hr, value);
}

// The SMTP address; an Exchange sender's SenderEmailAddress is its X.500 path, never shown, so
// its address comes from the property accessor.
std::wstring SenderAddress(IDispatch* item, bool& refused) {
    std::wstring address = GuardedString(item, L"SenderEmailAddress", refused);
    if (address.find(L'@') != std::wstring::npos) {
        return address;
    }
    UniqueVariant value;
    const HRESULT hr = GetProperty(item, L"PropertyAccessor", value, kItem);
    refused = refused || hr == E_ACCESSDENIED;
    const DispatchPtr accessor = SUCCEEDED(hr) ? TakeObject(value) : DispatchPtr();
    address = AccessorString(accessor.get(), kSenderSmtpAddressProperty, &refused);
    return address.find(L'@') == std::wstring::npos ? std::wstring() : address;
}

HRESULT ItemFromIds(IDispatch* mapiNamespace, const std::wstring& entryId,
                    const std::wstring& storeId, UniqueVariant& value) {
    const UniqueVariant id = UniqueVariant::String(entryId.c_str());
    const UniqueVariant store = UniqueVariant::String(storeId.c_str());
    return CallMethod(mapiNamespace, L"GetItemFromID", {&id, &store}, value, L"Namespace");
}

// `receivedText` gets the ReceivedTime text when ReceivedTime was read on the way, so that the
// snapshot does not ask Outlook for it again.
void ApplyDeliveryTime(IDispatch* item, IDispatch* accessor, MailSnapshot& snapshot,
                       std::optional<std::wstring>& receivedText) {
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
            case 1: {
                UniqueVariant received;
                tried[1] = FromLocalProperty(item, L"ReceivedTime", received);
                receivedText = ReceivedTimeText(received);
                break;
            }
            case 2:
                tried[2] = FromAccessor(accessor, kSubmitTimeProperty);
                break;
            default: {
                UniqueVariant sent;
                tried[3] = FromLocalProperty(item, L"SentOn", sent);
                break;
            }
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

// What an item's header read, kept for its snapshot.
struct HeaderRecord {
    MailSnapshot Known;  // the entry id and the delivery time
    std::optional<std::wstring> ReceivedText;
};

// The walk reads every header first and then the snapshots of the new items, oldest first, so an
// item stays open from its header to its snapshot (the latest kOpenItems of them); one no longer
// open is fetched again by its entry id, since a mail arriving meanwhile shifts the indexes.
class OutlookFolderItems final : public FolderItems {
public:
    OutlookFolderItems(IDispatch* mapiNamespace, DispatchPtr items, std::wstring storeId,
                       bool* refused)
        : namespace_(mapiNamespace),
          items_(std::move(items)),
          storeId_(std::move(storeId)),
          refused_(refused) {}

    std::int32_t Count() override {
        return gone_ ? 0
                     : static_cast<std::int32_t>(GetCountProperty(items_.get(), L"Count", kItems));
    }
    ItemHeader Header(std::int32_t index, bool withUnread) override;
    std::optional<MailSnapshot> Snapshot(std::int32_t index) override;

private:
    OpenItem Take(std::int32_t index, const std::wstring& entryId);
    DispatchPtr Outcome(HRESULT hr, UniqueVariant& value) {
        // Once Outlook has gone every further call fails too, so the rest of the walk is skipped.
        gone_ = gone_ || OutlookIsGone(hr);
        return SUCCEEDED(hr) ? TakeObject(value) : DispatchPtr();
    }

    IDispatch* namespace_;
    DispatchPtr items_;
    std::wstring storeId_;
    std::map<std::int32_t, HeaderRecord> headers_;
    std::map<std::int32_t, OpenItem> open_;
    bool gone_ = false;
    bool* refused_;
};

ItemHeader OutlookFolderItems::Header(std::int32_t index, bool withUnread) {
    ItemHeader header;
    if (gone_) {
        return header;
    }
    UniqueVariant value;
    OpenItem open{Outcome(GetItem(items_.get(), index, value, kItems), value), DispatchPtr()};
    if (!open.Item) {
        return header;
    }
    HeaderRecord record;
    record.Known.EntryId = GetStringProperty(open.Item.get(), L"EntryID", kItem);
    open.Accessor = GetObjectProperty(open.Item.get(), L"PropertyAccessor", kItem);
    ApplyDeliveryTime(open.Item.get(), open.Accessor.get(), record.Known, record.ReceivedText);
    header.Exists = true;
    header.EntryId = record.Known.EntryId;
    header.DeliveryTimeKnown = record.Known.DeliveryTimeKnown;
    header.DeliveryTimeUtc = record.Known.DeliveryTimeUtc;
    if (withUnread) {
        UniqueVariant unread;
        header.Unread = SUCCEEDED(GetProperty(open.Item.get(), L"UnRead", unread, kItem)) &&
                        unread.type() == VT_BOOL && unread.get().boolVal != VARIANT_FALSE;
    }
    headers_.insert_or_assign(index, std::move(record));
    open_.insert_or_assign(index, std::move(open));
    if (open_.size() > kOpenItems) {
        open_.erase(open_.begin());  // the walk goes up the indexes: this one was read first
    }
    return header;
}

OpenItem OutlookFolderItems::Take(std::int32_t index, const std::wstring& entryId) {
    OpenItem open;
    if (const auto held = open_.find(index); held != open_.end()) {
        open = std::move(held->second);
        open_.erase(held);
        return open;
    }
    UniqueVariant value;
    if (entryId.empty()) {
        open.Item = Outcome(GetItem(items_.get(), index, value, kItems), value);
    } else {
        open.Item = Outcome(ItemFromIds(namespace_, entryId, storeId_, value), value);
    }
    if (open.Item) {
        open.Accessor = GetObjectProperty(open.Item.get(), L"PropertyAccessor", kItem);
    }
    return open;
}

std::optional<MailSnapshot> OutlookFolderItems::Snapshot(std::int32_t index) {
    auto record = headers_.find(index);
    if (record == headers_.end() && Header(index, false).Exists) {
        record = headers_.find(index);
    }
    if (gone_ || record == headers_.end()) {
        return std::nullopt;
    }
    HeaderRecord known = std::move(record->second);
    headers_.erase(record);
    // An item deleted since its header is left out, as it is gone from Outlook too.
    const OpenItem open = Take(index, known.Known.EntryId);
    if (!open.Item) {
        return std::nullopt;
    }
    MailSnapshot snapshot = std::move(known.Known);
    snapshot.Subject = GetStringProperty(open.Item.get(), L"Subject", kItem);
    bool refused = false;
    snapshot.SenderName = GuardedString(open.Item.get(), L"SenderName", refused);
    if (refused && refused_ != nullptr) {
        *refused_ = true;
    }
    snapshot.ReceivedTime =
        known.ReceivedText ? *known.ReceivedText : ReceivedTimeText(open.Item.get());
    snapshot.InternetMessageId = InternetMessageId(open.Accessor.get());
    if (snapshot.Subject.empty() && snapshot.EntryId.empty()) {
        return std::nullopt;
    }
    return snapshot;
}

}  // namespace

std::unique_ptr<FolderItems> OpenFolderItems(IDispatch* mapiNamespace, const SelectedFolder& folder,
                                             bool* refused) {
    const UniqueVariant entryId = UniqueVariant::String(folder.EntryId.c_str());
    const UniqueVariant storeId = UniqueVariant::String(folder.StoreId.c_str());
    UniqueVariant opened;
    if (FAILED(CallMethod(mapiNamespace, L"GetFolderFromID", {&entryId, &storeId}, opened,
                          L"Namespace"))) {
        return nullptr;
    }
    const DispatchPtr outlookFolder = TakeObject(opened);
    if (!outlookFolder) {
        return nullptr;
    }
    DispatchPtr items = GetObjectProperty(outlookFolder.get(), L"Items", L"Folder");
    if (!items) {
        return nullptr;
    }
    const UniqueVariant key = UniqueVariant::String(L"[ReceivedTime]");
    const UniqueVariant descending = UniqueVariant::Bool(true);
    UniqueVariant ignored;
    // Unsorted items are still read; the order then is Outlook's own.
    (void)CallMethod(items.get(), L"Sort", {&key, &descending}, ignored, kItems);
    return std::make_unique<OutlookFolderItems>(mapiNamespace, std::move(items), folder.StoreId,
                                                refused);
}

FolderWalkOutcome ReadOneFolder(IDispatch* mapiNamespace, const FolderWalkPlan& plan,
                                const MailReadRequest& request, std::vector<MailSnapshot>& out) {
    bool refused = false;
    const std::unique_ptr<FolderItems> items =
        OpenFolderItems(mapiNamespace, plan.Folder, &refused);
    FolderWalkOutcome outcome =
        items ? WalkFolder(*items, plan, request, out) : FolderWalkOutcome();
    outcome.GuardRefused = refused;
    return outcome;
}

MailReadResult ReadWatchedFolders(const MailReadRequest& request) {
    MailReadResult result;
    if (request.Folders.empty()) {
        return result;
    }
    OutlookConnection connection;
    if (!connection.Connect()) {
        result.Unavailable = NewOutlookOnlyText(connection.Error());
        return result;
    }
    std::int64_t examined = 0;
    for (const FolderWalkPlan& plan : request.Folders) {
        const FolderWalkOutcome outcome =
            ReadOneFolder(connection.Namespace(), plan, request, result.Messages);
        examined += outcome.Examined;
        result.GuardRefused = result.GuardRefused || outcome.GuardRefused;
        if (outcome.MoreWaiting) {
            result.FoldersWithMore.push_back(plan.Folder.FolderPath);
        }
    }
    result.Ok = examined > 0;
    return result;
}

MailReadResult ReadMailDetails(const MailDetailsRequest& request) {
    MailReadResult result;
    OutlookConnection connection;
    if (request.Mails.empty() || !connection.Connect()) {
        return result;
    }
    result.Ok = true;
    for (MailSnapshot mail : request.Mails) {
        UniqueVariant value;
        const DispatchPtr item =
            mail.EntryId.empty() ||
                    FAILED(ItemFromIds(connection.Namespace(), mail.EntryId, mail.StoreId, value))
                ? DispatchPtr()
                : TakeObject(value);
        if (item && request.ReadSenderAddress) {
            mail.SenderAddress = SenderAddress(item.get(), result.GuardRefused);
        }
        if (item && request.ReadBody) {
            mail.Body = GuardedString(item.get(), L"Body", result.GuardRefused);
        }
        result.Messages.push_back(std::move(mail));
    }
    return result;
}

}  // namespace wrenpost
