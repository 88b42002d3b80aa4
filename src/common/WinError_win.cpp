#include "common/WinError_win.h"

#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {

std::wstring SystemErrorMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    std::wstring message;
    if (length != 0 && buffer != nullptr) {
        message.assign(buffer, length);
    }
    return TrimWhitespace(message);
}

std::wstring DescribeWindowsError(DWORD code) {
    return L"Windows error " + ToWideDecimal(code) + L": " + SystemErrorMessage(code);
}

}  // namespace wrenpost
