// wrenpost_file_holder <file> <ready event> <quit event> [lock|abandon]: another program holding a
// file open without sharing it, as a backup tool or a virus scanner may; or another instance
// holding the file's ConfigFileLock, which "abandon" never releases (the process just ends).
#include <windows.h>

#include <optional>
#include <string>

#include "common/UniqueHandle_win.h"
#include "profile/ConfigFileLock.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5) {
        return 10;
    }
    const wrenpost::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const wrenpost::UniqueHandle quit(OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !quit) {
        return 11;
    }
    const std::wstring mode = argc == 5 ? argv[4] : L"";
    std::optional<wrenpost::ConfigFileLock> lock;
    wrenpost::UniqueFileHandle file;
    if (mode.empty()) {
        file.reset(CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return 13;
        }
    } else {
        lock.emplace(argv[1]);
    }
    SetEvent(ready.get());
    const int code = WaitForSingleObject(quit.get(), 60000) == WAIT_OBJECT_0 ? 0 : 12;
    if (mode == L"abandon") {
        ExitProcess(static_cast<UINT>(code));
    }
    return code;
}
