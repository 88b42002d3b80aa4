// The Token Vault through its real windows under wine: timer steps fill and press the dialogs
// inside their modal loops, prompts are answered through the seam, getMe by a fake transport.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "support/Screenshot_win.h"
#include "support/TempDir.h"
#include "ui/ModalLoop_win.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/vault/VaultWindowLook_win.h"
#include "ui/vault/VaultWindow_win.h"
#include "vault/VaultStore_win.h"
#include "win/ui/ClipboardProbe.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

constexpr wchar_t kPassword[] = L"correct horse";
constexpr wchar_t kMask[] = L"\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022";
std::atomic<bool> slowOpen{true};  // while false, getMe for a "slow" token waits
std::atomic<int> answered{0};

// getMe for "/bot<name>:<secret>/getMe": the bot is called "Bot <name>", "@u_<name>".
HttpResponse FakeGetMe(const HttpRequest& request) {
    const std::wstring token = request.path.substr(4, request.path.rfind(L"/getMe") - 4);
    while (token.starts_with(L"slow") && !slowOpen) {
        Sleep(10);
    }
    const std::string name = WideToUtf8(token.substr(0, token.find(L':')));
    ++answered;
    return {HttpStage::None, 0, 200, "application/json",
            R"({"ok":true,"result":{"id":1,"is_bot":true,"first_name":"Bot )" + name +
                R"(","username":"u_)" + name + R"("}})"};
}

VaultEntry Entry(const wchar_t* token, const wchar_t* name) {
    return {NewVaultEntryId(), token, name, L"@" + std::wstring(name), L""};
}

using Step = std::function<bool()>;

// Fills a dialog of `className` once it is up and presses `button`.
Step Fill(const wchar_t* className, std::vector<std::pair<int, std::wstring>> texts, int button) {
    return OnWindow(className, [=](HWND dialog) {
        for (const auto& [id, text] : texts) {
            SetDlgItemTextW(dialog, id, text.c_str());
        }
        testing::SaveScreenshot(dialog, className);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        return true;
    });
}
Step Press(const wchar_t* className, int button) {
    return Fill(className, {}, button);
}
Step Unlock(const wchar_t* password = kPassword) {
    return Fill(L"WrenpostVaultUnlock", {{101, password}}, IDOK);
}
// Runs `act` on the vault window until it is done, then closes the window.
Step InVault(std::function<bool(HWND vault)> act) {
    return OnWindow(kVaultWindowClass, [act = std::move(act)](HWND vault) {
        return act(vault) && PostMessageW(vault, WM_CLOSE, 0, 0);
    });
}

// What another instance's save does to the file while this one holds it open.
bool SaveAsAnotherWindow(const std::vector<VaultEntry>& entries) {
    VaultKeys keys;
    std::vector<VaultEntry> read;
    std::wstring error;
    return UnlockVault(kPassword, keys, read, error) && SaveVault(keys, entries, error);
}

HWND List(HWND vault) {
    return GetDlgItem(vault, kVaultList);
}
std::wstring Cell(HWND vault, int row, int column) {
    wchar_t text[128] = {};
    ListView_GetItemText(List(vault), row, column, text, 128);
    return text;
}
// Posted for a cell that opens a dialog, which must not block the step that clicked it.
void ClickCell(HWND vault, int row, int column, UINT code = NM_CLICK, bool post = false) {
    RECT cell{};
    ListView_GetSubItemRect(List(vault), row, column, LVIR_BOUNDS, &cell);
    static NMITEMACTIVATE click;
    click = {};
    click.hdr = {List(vault), kVaultList, code};
    click.iItem = row;
    click.ptAction = {cell.left + 4, (cell.top + cell.bottom) / 2};
    const auto pointer = reinterpret_cast<LPARAM>(&click);
    if (post) {
        PostMessageW(vault, WM_NOTIFY, kVaultList, pointer);
    } else {
        SendMessageW(vault, WM_NOTIFY, kVaultList, pointer);
    }
}

class VaultWindowTest : public MainWindowFixture {
public:
    void SetUp() override {
        MainWindowFixture::SetUp();
        SetVaultFolderProvider([this] { return dir_.Path(); });
        SetVaultKdfIterationsForTesting(1000);  // the real count costs seconds under wine
        Open([](MainWindowServices& services) { services.telegramTransport = &FakeGetMe; });
    }
    void TearDown() override {
        slowOpen = true;
        MainWindowFixture::TearDown();
        SetVaultFolderProvider(nullptr);
        SetVaultKdfIterationsForTesting(0);
    }

    // Clicks "Vault" and plays the steps, one per timer tick, inside the loops it opens.
    void Play(std::vector<Step> steps) {
        WhenReadyInTurn(std::move(steps));
        Click(kIdVault);
        ExpectEveryStepRan();
    }
    void Seed(const std::vector<VaultEntry>& entries) {
        std::wstring key;
        std::wstring error;
        VaultKeys keys;
        ASSERT_EQ(CreateVault(kPassword, key, keys, error), VaultCreateResult::Created);
        ASSERT_TRUE(SaveVault(keys, entries, error)) << error;
    }
    std::vector<VaultEntry> Stored(const wchar_t* password = kPassword) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        VaultKeys keys;
        EXPECT_TRUE(UnlockVault(password, keys, entries, error)) << error;
        return entries;
    }
    // Whether a box was shown whose first line is `line`.
    bool Asked(const std::wstring& line) const {
        const std::vector<std::wstring> lines = FirstLines(prompts_);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    testing::TempDir dir_;
};

TEST_F(VaultWindowTest, CreateThenRecoverByKeyThenUnlock) {
    std::wstring key;
    Play({Fill(L"WrenpostVaultCreatePwd", {{101, L"eleven char"}, {102, L"eleven char"}}, IDOK),
          Fill(L"WrenpostVaultCreatePwd", {{101, L"first secret"}, {102, L"first secret"}}, IDOK),
          OnWindow(L"WrenpostVaultRecoveryKeyDisplay",
                   [&key](HWND dialog) {
                       key = WindowText(GetDlgItem(dialog, 101));
                       EXPECT_TRUE(testing::CopiesOnlyAsSecret(GetDlgItem(dialog, 101)));
                       EXPECT_TRUE(VaultExists());
                       testing::SaveScreenshot(dialog, L"vault-recovery-key");
                       PostMessageW(dialog, WM_CLOSE, 0, 0);  // refused: the box is not ticked
                       return true;
                   }),
          Press(L"WrenpostVaultRecoveryKeyDisplay", 102),  // Copy
          [] {
              const HWND dialog = FindWindowW(L"WrenpostVaultRecoveryKeyDisplay", nullptr);
              EXPECT_TRUE(testing::Clipboard().second);
              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
              SendDlgItemMessageW(dialog, 103, BM_SETCHECK, BST_CHECKED, 0);
              return Press(L"WrenpostVaultRecoveryKeyDisplay", 103)();
          },
          Press(L"WrenpostVaultRecoveryKeyDisplay", IDOK), InVault([](HWND vault) {
              // Refresh All over no tokens at all leaves its buttons enabled, and says nothing.
              SendMessageW(vault, WM_COMMAND, kVaultRefreshAll, 0);
              return IsWindowEnabled(GetDlgItem(vault, kVaultAdd)) &&
                     IsWindowEnabled(GetDlgItem(vault, kVaultRefreshAll));
          })});
    EXPECT_EQ(prompts_.Requests().size(), 4u);  // create?, too short, the key not kept, created
    ASSERT_EQ(key.size(), 29u);
    EXPECT_EQ(testing::Clipboard().first, key);
    EXPECT_TRUE(Asked(L"Please save your recovery key and check the box before continuing."));

    // The key typed in lower case without dashes sets a new password.
    std::wstring typed = key;
    std::erase(typed, L'-');
    std::transform(typed.begin(), typed.end(), typed.begin(), towlower);
    Play({Press(L"WrenpostVaultUnlock", 104),
          Fill(L"WrenpostVaultRecoveryReset",
               {{101, typed}, {102, L"second secret"}, {103, L"second secret"}}, IDOK),
          InVault([](HWND) { return true; })});
    EXPECT_TRUE(VerifyVaultPassword(L"second secret"));
    EXPECT_FALSE(VerifyVaultPassword(L"first secret"));
}

// What a password that does not verify leads to, by what the file holds.
TEST_F(VaultWindowTest, UnlockOffersDeletionOnlyForAForeignFile) {
    enum class File { Vault, Foreign, Locked };
    const struct {
        File file;
        std::wstring told;
    } cases[] = {
        {File::Vault, L"Invalid vault password."},
        {File::Foreign, L"TokenVault.dat appears to be corrupt or unreadable."},
        {File::Locked, L"TokenVault.dat could not be read. Another program may be using it."},
    };
    for (const auto& test : cases) {
        std::filesystem::remove(VaultPath());
        if (test.file == File::Foreign) {
            testing::WriteAllBytes(VaultPath(), "PK\3\4 no vault here");
        } else {
            Seed({Entry(L"a:1", L"Alpha")});
        }
        const std::string before = testing::ReadAllBytes(VaultPath());
        UniqueFileHandle lock(test.file == File::Locked
                                  ? CreateFileW(VaultPath().c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE);
        prompts_.QueueAnswer(PromptAnswer::No);
        Play({Unlock(L"not it")});
        lock.reset();
        EXPECT_TRUE(Asked(test.told)) << static_cast<int>(test.file);
        EXPECT_EQ(testing::ReadAllBytes(VaultPath()), before);
    }
    const std::vector<PromptRequest> corrupt = Boxes(L"Token Vault Corrupt");
    ASSERT_EQ(corrupt.size(), 1u);
    EXPECT_EQ(corrupt[0].defaultButton, PromptRequest::Default::Second);
}

// Every question whose Yes deletes tokens defaults to No, so Enter pressed twice loses nothing.
TEST_F(VaultWindowTest, QuestionsThatDeleteDefaultToNo) {
    Seed({Entry(L"a:1", L"Alpha")});
    prompts_.QueueAnswer(PromptAnswer::No);  // Delete Token
    Play({Unlock(), InVault([](HWND vault) {
              ClickCell(vault, 0, kColumnDelete);
              return true;
          })});
    testing::WriteAllBytes(VaultPath(),
                           testing::ReadAllBytes(std::string(WRENPOST_SOURCE_DIR) +
                                                 "/tests/win/vault/fixtures/TokenVault-v1.dat"));
    // No Recovery Key Available, Reset Vault: Yes; Confirm Vault Deletion: No.
    for (PromptAnswer answer : {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::No}) {
        prompts_.QueueAnswer(answer);
    }
    Play({Press(L"WrenpostVaultUnlock", 104), Press(L"WrenpostVaultUnlock", IDCANCEL)});
    for (const wchar_t* caption : {L"Delete Token", L"No Recovery Key Available", L"Reset Vault",
                                   L"Confirm Vault Deletion"}) {
        const std::vector<PromptRequest> asked = Boxes(caption);
        ASSERT_FALSE(asked.empty()) << WideToUtf8(caption);
        EXPECT_EQ(asked[0].defaultButton, PromptRequest::Default::Second) << WideToUtf8(caption);
    }
    EXPECT_TRUE(VaultExists());
}

TEST_F(VaultWindowTest, SearchRevealSelectAndCopy) {
    Seed({Entry(L"bot:1", L"My Bot"), Entry(L"r:2", L"ROBOTIC"), Entry(L"a:3", L"Alpha")});
    Play({Unlock(), InVault([](HWND vault) {
              SetDlgItemTextW(vault, kVaultSearch, L"bot");  // never usernames or tokens
              EXPECT_EQ(ListView_GetItemCount(List(vault)), 2);
              ClickCell(vault, 1, kColumnShow);
              EXPECT_EQ(Cell(vault, 1, kColumnName), L"ROBOTIC");
              // Words where no emoji font would draw the glyphs (as under wine).
              const bool emoji = EmojiFontInstalled();
              EXPECT_EQ(Cell(vault, 1, kColumnShow), emoji ? L"\U0001F648" : L"Hide");
              EXPECT_EQ(Cell(vault, 0, kColumnShow) + Cell(vault, 0, kColumnInstance),
                        emoji ? L"\U0001F441\U0001F5D0" : L"ShowOpen");
              EXPECT_EQ(Cell(vault, 0, kColumnToken), kMask);
              ClickCell(vault, 1, kColumnToken);
              testing::SaveScreenshot(vault, L"vault-window-revealed");
              SendMessageW(vault, WM_COMMAND, kVaultCopy, 0);
              EXPECT_EQ(testing::Clipboard(), std::make_pair(std::wstring(L"r:2"), true));

              ClickCell(vault, 1, kColumnShow);  // hiding drops the selected cell
              EXPECT_EQ(Cell(vault, 1, kColumnToken), kMask);
              ClickCell(vault, 1, kColumnShow);
              SendMessageW(vault, WM_COMMAND, kVaultCopy, 0);
              ClickCell(vault, 1, kColumnShow);
              ClickCell(vault, 1, kColumnToken, NM_RCLICK);
              testing::SaveScreenshot(vault, L"vault-window-hidden");
              return true;
          })});
    EXPECT_EQ(prompts_.Requests().size(), 1u);
    EXPECT_TRUE(Asked(L"Reveal this row first (click the eye icon) to copy its real value."));
    EXPECT_EQ(testing::Clipboard().first, L"r:2");  // the earlier copy, not replaced
}

TEST_F(VaultWindowTest, AddIsRefusedAtThirtyAndUndoneWhenTheSaveFails) {
    std::vector<VaultEntry> full;
    for (int i = 0; i < 30; ++i) {
        full.push_back(Entry((std::to_wstring(i) + L":x").c_str(), L"Bot"));
    }
    Seed(full);
    Play({Unlock(), Press(kVaultWindowClass, kVaultAdd),
          InVault([](HWND) { return FindWindowW(L"WrenpostVaultAddToken", nullptr) == nullptr; })});
    EXPECT_TRUE(Asked(L"Token Vault limit reached. Maximum allowed tokens: 30."));

    std::filesystem::remove(VaultPath());
    Seed({Entry(L"a:1", L"Alpha")});
    const std::vector<VaultEntry> before = Stored();
    // Readable, but not to be replaced while this handle is open.
    UniqueFileHandle held(CreateFileW(VaultPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    Play({Unlock(), Press(kVaultWindowClass, kVaultAdd),
          Fill(L"WrenpostVaultAddToken", {{101, L"  new:2  "}}, IDOK), InVault([this](HWND vault) {
              if (prompts_.Requests().size() < 2) {
                  return false;
              }
              EXPECT_EQ(ListView_GetItemCount(List(vault)), 1);
              return true;
          })});
    held.reset();
    EXPECT_EQ(Boxes(L"Token Vault Error").size(), 1u);
    EXPECT_EQ(Stored(), before);
}

TEST_F(VaultWindowTest, ARefreshOfADeletedRowChangesNoOtherEntry) {
    const VaultEntry kept = Entry(L"b:2", L"Kept");
    Seed({Entry(L"slow:1", L"Gone"), kept});
    slowOpen = false;
    Play({Unlock(), InVault([](HWND vault) {
              ClickCell(vault, 0, kColumnRefresh);
              ClickCell(vault, 0, kColumnDelete);  // answered Yes
              EXPECT_EQ(ListView_GetItemCount(List(vault)), 1);
              slowOpen = true;
              return true;
          })});
    Pump([] { return answered > 0; });
    Pump([] { return false; }, 200ms);
    EXPECT_EQ(Stored(), std::vector<VaultEntry>{kept});
}

TEST_F(VaultWindowTest, ATokenAddedByAnotherWindowSurvivesThisWindowsSave) {
    const VaultEntry first = Entry(L"a:1", L"Alpha");
    const VaultEntry other = Entry(L"o:2", L"Other");
    Seed({first});
    Play(
        {Unlock(),
         [first, other] {
             return FindWindowW(kVaultWindowClass, nullptr) != nullptr &&
                    SaveAsAnotherWindow({first, other});
         },
         Press(kVaultWindowClass, kVaultAdd),
         OnWindow(L"WrenpostVaultAddToken",
                  [](HWND dialog) {  // masked, the token cannot be copied; shown, only as a secret
                      SetDlgItemTextW(dialog, 101, L"c:3");
                      EXPECT_FALSE(testing::CopiesOnlyAsSecret(GetDlgItem(dialog, 101)));
                      EXPECT_EQ(testing::Clipboard().first, L"");
                      // Enter on the focused eye shows the token, rather than pressing Add.
                      SetFocus(GetDlgItem(dialog, 102));
                      PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
                      return true;
                  }),
         OnWindow(L"WrenpostVaultAddToken",
                  [](HWND dialog) { return testing::CopiesOnlyAsSecret(GetDlgItem(dialog, 101)); }),
         Press(L"WrenpostVaultAddToken", IDOK),
         InVault([](HWND vault) { return ListView_GetItemCount(List(vault)) == 3; })});
    EXPECT_TRUE(
        Asked(L"The Token Vault was changed by another Wrenpost window. It will be reloaded."));
    const std::vector<VaultEntry> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1], other);
    EXPECT_EQ(stored[2].botName, L"Bot c");
    EXPECT_EQ(stored[2].botUsername, L"@u_c");
}

TEST_F(VaultWindowTest, NotesAndANewPasswordAreSaved) {
    Seed({Entry(L"a:1", L"Alpha")});
    const std::wstring notes = L"say \"hi\"\\\r\nthen\tgo";
    Play({Unlock(), InVault([](HWND vault) {
              ClickCell(vault, 0, kColumnNotes, NM_CLICK, true);
              return true;
          }),
          OnWindow(L"WrenpostVaultNotes", [&notes](HWND dialog) {
              SendDlgItemMessageW(dialog, 101, EM_REPLACESEL, TRUE,
                                  reinterpret_cast<LPARAM>(notes.c_str()));  // as typed
              wchar_t counter[16] = {};
              GetDlgItemTextW(dialog, 103, counter, 16);
              EXPECT_EQ(counter, std::to_wstring(notes.size()) + L" / 200");
              return Press(L"WrenpostVaultNotes", IDOK)();
          })});
    EXPECT_EQ(Stored()[0].notes, notes);

    // Another window saves while each Reset Password dialog is open: neither the cancelled
    // dialog nor the change may hide its tokens from this window's next save.
    const VaultEntry other = Entry(L"o:2", L"Other"), third = Entry(L"t:3", L"Third");
    const auto othersSave = [](std::vector<VaultEntry> entries) -> Step {
        return [entries] {
            return FindWindowW(L"WrenpostVaultResetPwd", nullptr) != nullptr &&
                   SaveAsAnotherWindow(entries);
        };
    };
    const auto change = [](const wchar_t* old) {
        return Fill(L"WrenpostVaultResetPwd",
                    {{101, old}, {102, L"new password one"}, {103, L"new password one"}}, IDOK);
    };
    const VaultEntry first = Stored()[0];
    Play({Unlock(), Press(kVaultWindowClass, kVaultResetPassword), othersSave({first, other}),
          Press(L"WrenpostVaultResetPwd", IDCANCEL), Press(kVaultWindowClass, kVaultResetPassword),
          othersSave({first, other, third}), change(L"wrong"), change(kPassword),
          InVault([](HWND vault) {
              return FindWindowW(L"WrenpostVaultResetPwd", nullptr) == nullptr &&
                     IsWindowEnabled(vault) && ListView_GetItemCount(List(vault)) == 3;
          })});
    EXPECT_TRUE(Asked(L"The old password is incorrect."));
    EXPECT_EQ(Stored(L"new password one"), (std::vector<VaultEntry>{first, other, third}));
}

}  // namespace
}  // namespace wrenpost
