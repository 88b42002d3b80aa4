#include "common/SafeText.h"

#include <cstdint>

namespace wrenpost {

std::wstring StripUnsafeText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (u == L'\t' || u == L'\r' || u == L'\n' || u == 0x2028 || u == 0x2029) {
            out.push_back(L' ');
        } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x061C || u == 0x200E ||
                   u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069)) {
            continue;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace wrenpost
