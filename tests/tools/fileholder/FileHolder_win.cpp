// wrenpost_file_holder <file> <ready event> <quit event>: another program holding a file open
// without sharing it, as a backup tool or a virus scanner may.
#include <windows.h>

#include "common/UniqueHandle_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        return 10;
    }
    const wrenpost::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const wrenpost::UniqueHandle quit(OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !quit) {
        return 11;
    }
    const wrenpost::UniqueFileHandle file(CreateFileW(
        argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 13;
    }
    SetEvent(ready.get());
    return WaitForSingleObject(quit.get(), 60000) == WAIT_OBJECT_0 ? 0 : 12;
}
