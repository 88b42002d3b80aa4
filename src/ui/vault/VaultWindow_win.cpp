#include "ui/vault/VaultWindow_win.h"

// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "common/Clipboard_win.h"
#include "common/PostedRecord_win.h"
#include "common/UniqueHandle_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"
#include "ui/lists/ListPager.h"
#include "ui/main/WindowPrompt_win.h"
#include "ui/vault/VaultDialogs_win.h"
#include "ui/vault/VaultLaunch_win.h"
#include "ui/vault/VaultWindowLook_win.h"
#include "ui/vault/VaultWorker_win.h"
#include "vault/VaultStamp.h"
#include "vault/VaultStore_win.h"

namespace wrenpost {
namespace {

constexpr std::size_t kMaxEntries = 30;
constexpr UINT_PTR kBlinkTimer = 1;
constexpr int kBlinkPhases = 6;
constexpr wchar_t kMask[] = L"\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022";
constexpr wchar_t kInstanceTip[] = L"Open new instance with this token";

using Change = std::function<void(std::vector<VaultEntry>& entries)>;

class VaultWindow : public OwnedDialog<VaultWindow> {
public:
    VaultWindow(HWND owner, std::unique_ptr<VaultKeys> keys, std::vector<VaultEntry> entries,
                const HttpTransport& transport)
        : OwnedDialog(owner),
          keys_(std::move(keys)),
          entries_(std::move(entries)),
          transport_(transport),
          stamp_(StampVaultFile(VaultPath())) {}

    bool Create() {
        if (!RegisterOwnedClass(kVaultWindowClass)) {
            return false;
        }
        if (!CreateOwnedWindowOuter(kVaultWindowClass, L"Token Vault", 1060, 740)) {
            if (!failedToBuild_) {
                Tell(owner_, L"Token Vault Error", L"Failed to create Token Vault window.",
                     PromptIcon::Error);
            }
            return false;
        }
        SetWindowLongPtrW(Window(), GWL_STYLE,
                          GetWindowLongPtrW(Window(), GWL_STYLE) | WS_MINIMIZEBOX);
        SetWindowPos(Window(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        return true;
    }

    void Run() {
        RunModal([this] { return closed_; }, kVaultSearch);
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                if (!Build()) {
                    failedToBuild_ = true;
                    Tell(owner_, L"Token Vault Error",
                         L"Failed to initialise the Token Vault window.", PromptIcon::Error);
                    return -1;
                }
                return 0;
            case WM_COMMAND:
                OnCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header->idFrom == kVaultList) {
                    return OnListNotify(lParam);
                }
                break;
            }
            case WM_CLOSE:
                closed_ = true;
                return 0;
            case WM_TIMER:
                if (wParam == kBlinkTimer) {
                    OnBlink();
                }
                return 0;
            case kVaultBotInfoMessage:
                if (auto record = AdoptRecord<VaultBotInfoRecord>(wParam, lParam)) {
                    OnBotInfo(*record);
                }
                return 0;
            default:
                break;
        }
        return DialogDefault(Window(), message, wParam, lParam);
    }

private:
    HWND Item(int id) const { return GetDlgItem(Window(), id); }
    HWND List() const { return Item(kVaultList); }

    bool Build() {
        emoji_ = EmojiFontInstalled();
        if (emoji_) {
            LOGFONTW emoji{};
            wcscpy_s(emoji.lfFaceName, kEmojiFontName);
            emoji.lfHeight = -Scale(14);
            listFont_.reset(CreateFontIndirectW(&emoji));
        }
        for (const DialogControl& control : kVaultControls) {
            const bool list = control.id == kVaultList && listFont_;
            if (!CreateDialogControl(Window(), control, dpi_,
                                     list ? static_cast<HFONT>(listFont_.get()) : MessageFont())) {
                return false;
            }
        }
        ListView_SetExtendedListViewStyle(List(), LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
        for (int i = 0; i < static_cast<int>(std::size(kVaultColumns)); ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.pszText = const_cast<wchar_t*>(kVaultColumns[i].title);
            column.cx = Scale(kVaultColumns[i].width);
            column.fmt = kVaultColumns[i].format;
            if (ListView_InsertColumn(List(), i, &column) != i) {
                return false;
            }
        }
        pager_.Filter(SearchFields(), L"");
        ShowPage();
        return true;
    }

    std::vector<ListPager::SearchFields> SearchFields() const {
        std::vector<ListPager::SearchFields> fields;
        for (const VaultEntry& entry : entries_) {
            fields.push_back({entry.botName});
        }
        return fields;
    }

    const VaultEntry* EntryById(const std::wstring& id) const {
        const auto found = std::find_if(entries_.begin(), entries_.end(),
                                        [&id](const VaultEntry& entry) { return entry.id == id; });
        return found == entries_.end() ? nullptr : &*found;
    }

    // The entry shown in a row of the current page.
    const VaultEntry* EntryAtRow(int row) const {
        return row >= 0 && row < static_cast<int>(rows_.size()) ? EntryById(rows_[row]) : nullptr;
    }

    bool Revealed(const VaultEntry& entry) const { return revealed_.count(entry.id) != 0; }

    std::wstring CellText(const VaultEntry& entry, int column) const {
        const bool shown = Revealed(entry);
        switch (column) {
            case kColumnName:
                return shown ? entry.botName : kMask;
            case kColumnUsername:
                return shown ? entry.botUsername : kMask;
            case kColumnToken:
                return shown ? entry.token : kMask;
            default:
                return VaultIconCell(column, shown, emoji_);
        }
    }

    void ShowPage() {
        ListView_DeleteAllItems(List());
        rows_.clear();
        for (std::size_t position : pager_.PageEntries()) {
            const VaultEntry& entry = entries_[position];
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(rows_.size());
            std::wstring text = CellText(entry, 0);
            item.pszText = text.data();
            const int row = ListView_InsertItem(List(), &item);
            for (int column = 1; column < static_cast<int>(std::size(kVaultColumns)); ++column) {
                text = CellText(entry, column);
                ListView_SetItemText(List(), row, column, text.data());
            }
            rows_.push_back(entry.id);
        }
        const std::wstring page = L"Page " + std::to_wstring(pager_.Page() + 1) + L" of " +
                                  std::to_wstring(pager_.Pages());
        SetDlgItemTextW(Window(), kVaultPage, page.c_str());
        EnableWindow(Item(kVaultPrevious), pager_.HasPrevious());
        EnableWindow(Item(kVaultNext), pager_.HasNext());
    }

    void ListChanged() {
        pager_.Refresh(SearchFields());
        if (!selectedId_.empty() && EntryById(selectedId_) == nullptr) {
            selectedId_.clear();
        }
        ShowPage();
    }

    void Tell(HWND owner, const wchar_t* caption, const std::wstring& text, PromptIcon icon) {
        wrenpost::Tell(owner, caption, text, icon);
    }

    // A file another instance rewrote is read again before anything is based on it.
    bool ReloadIfChanged() {
        if (StampVaultFile(VaultPath()) == stamp_) {
            return true;
        }
        Tell(Window(), L"Token Vault",
             L"The Token Vault was changed by another Wrenpost window. It will be reloaded.",
             PromptIcon::Information);
        return Reload();
    }

    bool Reload() {
        std::vector<VaultEntry> reloaded;
        std::wstring error;
        if (!ReloadVault(*keys_, reloaded, error)) {
            Tell(Window(), L"Token Vault Error", L"Failed to open Token Vault:\n\n" + error,
                 PromptIcon::Error);
            return false;
        }
        entries_ = std::move(reloaded);
        stamp_ = StampVaultFile(VaultPath());
        ListChanged();
        return true;
    }

    // Every change goes through here: applied to a copy, saved, and kept only when saved, on top
    // of what the file holds now.
    bool Save(const Change& change) {
        if (!ReloadIfChanged()) {
            return false;
        }
        std::vector<VaultEntry> changed = entries_;
        change(changed);
        std::wstring error;
        if (!SaveVault(*keys_, changed, error)) {
            Tell(Window(), L"Token Vault Error", L"Failed to save vault:\n\n" + error,
                 PromptIcon::Error);
            return false;
        }
        entries_ = std::move(changed);
        stamp_ = StampVaultFile(VaultPath());
        ListChanged();
        return true;
    }

    // The change re-encrypts the file as it stands, which may hold another instance's tokens:
    // the list is read again afterwards. A cancelled dialog changed nothing, so the stamp stays.
    void ResetPassword() {
        if (ReloadIfChanged() && ChangeVaultPasswordDialog(Window(), *keys_)) {
            Reload();
        }
    }

    void OnCommand(int id, int notification) {
        switch (id) {
            case kVaultSearch:
                if (notification == EN_CHANGE) {
                    wchar_t text[256] = {};
                    GetDlgItemTextW(Window(), kVaultSearch, text, 256);
                    pager_.Filter(SearchFields(), text);
                    ShowPage();
                }
                break;
            case kVaultPrevious:
                pager_.Previous();
                ShowPage();
                break;
            case kVaultNext:
                pager_.Next();
                ShowPage();
                break;
            case kVaultAdd:
                AddToken();
                break;
            case kVaultRefreshAll:
                RefreshAll();
                break;
            case kVaultResetPassword:
                ResetPassword();
                break;
            case kVaultCopy:
                CopySelectedCell();
                break;
            case IDCANCEL:
                closed_ = true;
                break;
            default:
                break;
        }
    }

    void AddToken() {
        if (entries_.size() >= kMaxEntries) {
            Tell(Window(), L"Token Vault",
                 L"Token Vault limit reached. Maximum allowed tokens: 30.", PromptIcon::Warning);
            return;
        }
        NewVaultToken added;
        if (!AskVaultToken(Window(), transport_, added)) {
            return;
        }
        const auto exists = [&added](const std::vector<VaultEntry>& entries) {
            return std::any_of(entries.begin(), entries.end(), [&added](const VaultEntry& entry) {
                return entry.token == added.token;
            });
        };
        if (exists(entries_)) {
            Tell(Window(), L"Token Vault", L"This token already exists in the vault.",
                 PromptIcon::Information);
            return;
        }
        const VaultEntry entry{NewVaultEntryId(), added.token, added.botName,
                               L"@" + added.botUsername, L""};
        // Checked again on the list actually saved: another window may have added it meanwhile.
        Save([&](std::vector<VaultEntry>& entries) {
            if (!exists(entries) && entries.size() < kMaxEntries) {
                entries.push_back(entry);
            }
        });
    }

    void RefreshAll() {
        if (entries_.empty()) {
            return;
        }
        EnableWindow(Item(kVaultAdd), FALSE);
        EnableWindow(Item(kVaultRefreshAll), FALSE);
        bulkOutstanding_ = entries_.size();
        bulkResults_.clear();
        for (const VaultEntry& entry : entries_) {
            StartVaultBotInfo(Window(), transport_, entry.token, entry.id, true);
        }
    }

    // Results name their entry by id: rows deleted or added meanwhile cannot receive them.
    void OnBotInfo(const VaultBotInfoRecord& record) {
        if (record.bulk) {
            if (record.info.ok) {
                bulkResults_.push_back(record);
            }
            if (bulkOutstanding_ > 0 && --bulkOutstanding_ == 0) {
                const std::vector<VaultBotInfoRecord> results = std::move(bulkResults_);
                bulkResults_.clear();
                if (!results.empty()) {
                    Save([&results](std::vector<VaultEntry>& entries) {
                        for (const VaultBotInfoRecord& result : results) {
                            ApplyBotInfo(entries, result);
                        }
                    });
                }
                EnableWindow(Item(kVaultAdd), TRUE);
                EnableWindow(Item(kVaultRefreshAll), TRUE);
            }
            return;
        }
        if (record.info.ok && EntryById(record.entryId) != nullptr) {
            Save([&record](std::vector<VaultEntry>& entries) { ApplyBotInfo(entries, record); });
        }
    }

    static void ApplyBotInfo(std::vector<VaultEntry>& entries, const VaultBotInfoRecord& result) {
        for (VaultEntry& entry : entries) {
            if (entry.id == result.entryId) {
                entry.botName = result.info.firstName;
                entry.botUsername = L"@" + result.info.username;
            }
        }
    }

    void OnBlink() {
        if (--blinkLeft_ <= 0) {
            KillTimer(Window(), kBlinkTimer);
            blinkingId_.clear();
        }
        InvalidateRect(List(), nullptr, FALSE);
    }

    int HitColumn(const NMITEMACTIVATE& activate, int& row) const {
        LVHITTESTINFO hit{};
        hit.pt = activate.ptAction;
        ListView_SubItemHitTest(List(), &hit);
        row = hit.iItem;
        return hit.iSubItem;
    }

    LRESULT OnListNotify(LPARAM lParam) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        switch (header->code) {
            case NM_CLICK:
            case NM_RCLICK: {
                int row = -1;
                const int column = HitColumn(*reinterpret_cast<const NMITEMACTIVATE*>(lParam), row);
                if (const VaultEntry* entry = EntryAtRow(row)) {
                    const VaultEntry copy = *entry;
                    if (header->code == NM_CLICK) {
                        OnCellClick(copy, column);
                    } else {
                        OnCellRightClick(copy, column);
                    }
                }
                return 0;
            }
            case NM_CUSTOMDRAW:
                return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            case LVN_GETINFOTIPW: {
                auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(lParam);
                if (tip->iSubItem == kColumnInstance && tip->cchTextMax > 0) {
                    lstrcpynW(tip->pszText, kInstanceTip, tip->cchTextMax);
                }
                return 0;
            }
            default:
                return 0;
        }
    }

    void OnCellClick(const VaultEntry& entry, int column) {
        switch (column) {
            case kColumnRefresh:
                blinkingId_ = entry.id;
                blinkLeft_ = kBlinkPhases;
                SetTimer(Window(), kBlinkTimer, 120, nullptr);
                InvalidateRect(List(), nullptr, FALSE);
                StartVaultBotInfo(Window(), transport_, entry.token, entry.id, false);
                break;
            case kColumnShow:
                if (Revealed(entry)) {
                    revealed_.erase(entry.id);
                    if (selectedId_ == entry.id) {
                        selectedId_.clear();
                    }
                } else {
                    revealed_.insert(entry.id);
                }
                ShowPage();
                break;
            case kColumnName:
            case kColumnUsername:
            case kColumnToken:
                if (Revealed(entry)) {
                    selectedId_ = entry.id;
                    selectedColumn_ = column;
                    InvalidateRect(List(), nullptr, FALSE);
                }
                break;
            case kColumnInstance:
                LaunchInstanceWithToken(Window(), entry.token);
                break;
            case kColumnDelete:
                if (ShowPrompt({reinterpret_cast<std::uintptr_t>(Window()),
                                L"Delete Token",
                                L"Are you sure you want to delete this token?",
                                PromptIcon::Warning,
                                PromptButtons::YesNo,
                                {},
                                nullptr,
                                PromptRequest::Default::Second}) == PromptAnswer::Yes &&
                    Save([&entry](std::vector<VaultEntry>& entries) {
                        std::erase_if(entries, [&entry](const VaultEntry& stored) {
                            return stored.id == entry.id;
                        });
                    })) {
                    revealed_.erase(entry.id);
                }
                break;
            case kColumnNotes: {
                std::wstring notes = entry.notes;
                if (EditVaultNotes(Window(), notes)) {
                    Save([&entry, &notes](std::vector<VaultEntry>& entries) {
                        for (VaultEntry& stored : entries) {
                            if (stored.id == entry.id) {
                                stored.notes = notes;
                            }
                        }
                    });
                }
                break;
            }
            default:
                break;
        }
    }

    void OnCellRightClick(const VaultEntry& entry, int column) {
        if (!IsVaultTextColumn(column)) {
            return;
        }
        if (!Revealed(entry)) {
            Tell(Window(), L"Token Vault",
                 L"Reveal this row first (click the eye icon) to copy its real value.",
                 PromptIcon::Information);
            return;
        }
        selectedId_ = entry.id;
        selectedColumn_ = column;
        InvalidateRect(List(), nullptr, FALSE);
        UniqueMenu menu(CreatePopupMenu());
        if (menu.get() == nullptr) {
            return;
        }
        AppendMenuW(menu.get(), MF_STRING, kVaultCopy, L"Copy");
        POINT cursor{};
        GetCursorPos(&cursor);
        TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Window(), nullptr);
    }

    void CopySelectedCell() {
        const VaultEntry* entry = EntryById(selectedId_);
        if (entry == nullptr || !Revealed(*entry)) {
            return;
        }
        const std::wstring& text = selectedColumn_ == kColumnName       ? entry->botName
                                   : selectedColumn_ == kColumnUsername ? entry->botUsername
                                                                        : entry->token;
        CopyToClipboard(Window(), text,
                        selectedColumn_ == kColumnToken ? ClipboardPrivacy::Secret
                                                        : ClipboardPrivacy::Ordinary);
    }

    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) {
        return PaintVaultCell(draw, [this](int row, int column) {
            const VaultEntry* entry = EntryAtRow(row);
            if (entry != nullptr && entry->id == blinkingId_ && blinkLeft_ % 2 == 0) {
                return VaultCellLook::Blinking;
            }
            return entry != nullptr && entry->id == selectedId_ && column == selectedColumn_
                       ? VaultCellLook::Selected
                       : VaultCellLook::Plain;
        });
    }

    std::unique_ptr<VaultKeys> keys_;
    std::vector<VaultEntry> entries_;
    const HttpTransport& transport_;
    VaultStamp stamp_;
    UniqueGdiObject listFont_;  // the emoji font, where it is installed
    bool emoji_ = false;
    ListPager pager_;
    std::vector<std::wstring> rows_;  // entry ids of the current page's rows
    std::set<std::wstring> revealed_;
    std::wstring selectedId_;
    int selectedColumn_ = -1;
    std::wstring blinkingId_;
    int blinkLeft_ = 0;
    std::size_t bulkOutstanding_ = 0;
    std::vector<VaultBotInfoRecord> bulkResults_;
    bool closed_ = false;
    bool failedToBuild_ = false;
};

}  // namespace

bool RunVaultWindow(HWND owner, std::unique_ptr<VaultKeys> keys, std::vector<VaultEntry> entries,
                    const HttpTransport& transport) {
    VaultWindow window(owner, std::move(keys), std::move(entries), transport);
    if (!window.Create()) {
        return false;
    }
    window.Run();
    return true;
}

}  // namespace wrenpost
