// Command-line front of the driver, for scripts/run and scripts/playground:
//   wrenpost-driver wait-window <class> <title> <timeout-ms>   exit 0 when the window is there
//   wrenpost-driver close-window <class> <title>               posts WM_CLOSE to each match
//   wrenpost-driver count-windows <class>                      prints how many are visible
//   wrenpost-driver press <class> <title or ""> <control id>   clicks a button of the window
//   wrenpost-driver read-manifest <file>       the update check's verdict on a manifest:
//                                              version, installer file name, size and SHA-256
//   wrenpost-driver playground-setup <dir>        registers the fake Outlook on <dir>\mailbox.txt
//   wrenpost-driver playground-bot <dir>          the fake Bot API and update service until
//                                                 <dir>\stop exists
//   wrenpost-driver playground-mail <dir> <subject> [<from> [<folder>]]
//   wrenpost-driver tour <dir>                    the guided tour on the started program
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/Text.h"
#include "common/TextFile.h"
#include "playground/Playground_win.h"
#include "playground/Tour_win.h"
#include "support/Driver_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "update/UpdateEndpoint.h"
#include "update/UpdateManifest.h"
#include "update/UpdateService_win.h"

using namespace wrenpost;
using namespace wrenpost::testing;
namespace fs = std::filesystem;

namespace {

int Fail(const std::wstring& message) {
    std::fwprintf(stderr, L"playground: %ls\n", message.c_str());
    return 1;
}

// What the sample user writes waits in <dir>\say as one file per message.
void Say(const fs::path& dir, const std::wstring& text) {
    fs::create_directories(dir / L"say");
    const fs::path file = dir / L"say" / (std::to_wstring(GetTickCount64()) + L".txt");
    (void)WriteTextFileAtomically(file, text);
}

// The same server answers the update check: this version, or a newer one while
// <dir>\update-available exists (scripts/playground update).
bool ServeAsUpdateService(const FakeBotApiServer& server) {
    const std::wstring url = server.BaseUrl();
    return RegSetKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue,
                           REG_SZ, url.c_str(),
                           static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void AnswerUpdateChecks(FakeBotApiServer& server, bool newer) {
    server.SetStandingReply(WideToUtf8(kUpdateManifestPath),
                            {200, PlaygroundUpdateManifest(newer), "application/json"});
}

// The fake Bot API on 127.0.0.1: the program is pointed at it through the registry; each
// notification it receives is printed and appended to <dir>\telegram.log.
int RunBot(const fs::path& dir) {
    FakeBotApiServer server;
    if (!server.Start()) {
        return Fail(L"the fake Bot API could not start");
    }
    if (!server.ServeAsTelegram() || !ServeAsUpdateService(server)) {
        return Fail(L"the program could not be pointed at the fake Bot API");
    }
    std::printf("playground: fake Telegram listening on %s\n",
                WideToUtf8(server.BaseUrl()).c_str());
    std::fflush(stdout);
    std::size_t printed = 0;
    std::int64_t updateId = 1;
    std::error_code error;
    bool newer = false;
    AnswerUpdateChecks(server, newer);
    while (!fs::exists(dir / L"stop", error)) {
        if (fs::exists(dir / L"update-available", error) != newer) {
            newer = !newer;
            AnswerUpdateChecks(server, newer);
        }
        for (const auto& entry : fs::directory_iterator(dir / L"say", error)) {
            std::wstring text;
            if (ReadTextFile(entry.path(), text)) {
                server.AddUpdate(updateId, SampleUserUpdate(updateId, text));
                ++updateId;
            }
            fs::remove(entry.path(), error);
        }
        const auto sent = server.Requests("sendMessage");
        std::ofstream log(dir / L"telegram.log", std::ios::app);
        for (; printed < sent.size(); ++printed) {
            const auto& p = sent[printed].parameters;
            std::string text = p.at("text");  // title, an empty line, the subject
            if (const std::size_t gap = text.find("\n\n"); gap != std::string::npos) {
                text.replace(gap, 2, " | ");
            }
            const std::string line = "to " + p.at("chat_id") + ": " + text;
            std::printf("Telegram %s\n", line.c_str());
            log << line << "\n";
        }
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    fs::remove(dir / L"stop", error);
    return 0;
}

int RunTour(const fs::path& dir, TourInput input) {
    RunningProgram program;
    if (!program.Start()) {
        return Fail(L"Wrenpost did not start");
    }
    int shots = 0;
    TourWorld world;
    world.say = [&dir](const std::wstring& text) { Say(dir, text); };
    world.mail = [&dir](const std::wstring& subject) {
        std::wstring error;
        if (!AddPlaygroundMail(dir / L"mailbox.txt", subject, L"", L"", error)) {
            Fail(error);
        }
    };
    world.delivered = [&dir] {
        std::wstring log;
        return ReadTextFile(dir / L"telegram.log", log) &&
               log.find(kTourSubject) != std::wstring::npos;
    };
    // scripts/run takes the screenshot (the X server can read other processes' pixels).
    world.shot = [&dir, &shots](const std::wstring& step) {
        wchar_t name[64];
        std::swprintf(name, 64, L"%02d-%ls", ++shots, step.c_str());
        const fs::path request = dir / L"shots" / (std::wstring(name) + L".request");
        (void)WriteTextFileAtomically(request, L"");
        WaitFor([&request] { return !fs::exists(request); }, milliseconds(10000));
        std::printf("tour: %s\n", WideToUtf8(step).c_str());
        std::fflush(stdout);
    };
    std::wstring failure;
    const bool done = wrenpost::testing::RunTour(program, world, input, failure);
    program.End();
    return done ? 0 : Fail(L"the tour stopped at step " + failure);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : fs::path();
    if (command == L"wait-window" && argc == 5) {
        return WaitForWindow(argv[2], argv[3], 0, milliseconds(std::stol(argv[4]))) ? 0 : 1;
    }
    if (command == L"close-window" && argc == 4) {
        const auto windows = FindWindows(argv[2], argv[3]);
        for (HWND window : windows) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return windows.empty() ? 1 : 0;
    }
    if (command == L"count-windows" && argc == 3) {
        std::printf("%zu\n", FindWindows(argv[2], nullptr).size());
        return 0;
    }
    if (command == L"press" && argc == 5) {
        // An empty title matches any.
        const auto windows = FindWindows(argv[2], *argv[3] ? argv[3] : nullptr);
        const int id = std::stoi(argv[4]);
        return !windows.empty() &&
                       PostMessageW(windows.front(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                    reinterpret_cast<LPARAM>(GetDlgItem(windows.front(), id)))
                   ? 0
                   : 1;
    }
    if (command == L"read-manifest" && argc == 3) {
        std::ostringstream body;
        body << std::ifstream(argv[2], std::ios::binary).rdbuf();
        UpdateManifest manifest;
        std::string error;
        if (!ParseUpdateManifest(body.str(), manifest, error)) {
            std::fprintf(stderr, "manifest rejected: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s %s %llu %s\n", manifest.latestVersionText.c_str(),
                    manifest.installerFileName.c_str(),
                    static_cast<unsigned long long>(manifest.installerSizeBytes),
                    manifest.installerSha256.c_str());
        return 0;
    }
    if (command == L"playground-setup" && argc == 3) {
        std::wstring error;
        FakeOutlook outlook(dir / L"mailbox.txt");
        std::error_code ignored;
        fs::remove_all(dir / L"say", ignored);
        fs::remove(dir / L"telegram.log", ignored);
        fs::remove(dir / L"update-available", ignored);
        return outlook.WriteScenario(SampleMailbox()) && outlook.Register(error) ? 0 : Fail(error);
    }
    if (command == L"playground-bot" && argc == 3) {
        return RunBot(dir);
    }
    if (command == L"playground-mail" && argc >= 4 && argc <= 6) {
        std::wstring error;
        return AddPlaygroundMail(dir / L"mailbox.txt", argv[3], argc > 4 ? argv[4] : L"",
                                 argc > 5 ? argv[5] : L"", error)
                   ? 0
                   : Fail(error);
    }
    if (command == L"tour" &&
        (argc == 3 || (argc == 4 && std::wstring(argv[3]) == L"--keyboard"))) {
        return RunTour(dir, argc == 4 ? TourInput::Keyboard : TourInput::Mouse);
    }
    std::fprintf(stderr,
                 "usage: wrenpost-driver wait-window|close-window|count-windows|press|"
                 "read-manifest|playground-...|tour [--keyboard]\n");
    return 2;
}
