// wrenpost_token_holder <token> <ready event> <quit event>: another "instance" for the
// duplicate-token tests.
#include <windows.h>

#include "telegram/TokenGuard_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        return 10;
    }
    wrenpost::TokenGuard guard;
    const int claimed = wrenpost::ClaimToken(guard, argv[1]);
    if (claimed != wrenpost::kTokenClaimed) {
        return claimed;
    }
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || quit == nullptr) {
        return 11;
    }
    SetEvent(ready);
    const DWORD waited = WaitForSingleObject(quit, 60000);
    CloseHandle(ready);
    CloseHandle(quit);
    return waited == WAIT_OBJECT_0 ? 0 : 12;
}
