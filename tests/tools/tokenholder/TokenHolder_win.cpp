// wrenpost_token_holder <token> <ready event> <quit event>: another "instance" for the
// duplicate-token tests.
#include <windows.h>

#include "common/UniqueHandle_win.h"
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
    const wrenpost::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const wrenpost::UniqueHandle quit(OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !quit) {
        return 11;
    }
    SetEvent(ready.get());
    return WaitForSingleObject(quit.get(), 60000) == WAIT_OBJECT_0 ? 0 : 12;
}
