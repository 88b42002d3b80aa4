#include "telegram/NotificationProvider.h"

namespace wrenpost {

std::wstring& LastSendError() {
    thread_local std::wstring error;
    return error;
}

}  // namespace wrenpost
