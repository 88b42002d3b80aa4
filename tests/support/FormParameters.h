// Decoding of application/x-www-form-urlencoded pairs (a query or a form body), as a server
// reads them; for checking what a client actually sent.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

namespace wrenpost::testing {

inline std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(
                static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

inline void AddFormParameters(const std::string& encoded, std::map<std::string, std::string>& out) {
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        const std::size_t amp = std::min(encoded.find('&', pos), encoded.size());
        const std::string pair = encoded.substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            out[PercentDecode(pair.substr(0, eq))] =
                eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1));
        }
        pos = amp + 1;
    }
}

}  // namespace wrenpost::testing
