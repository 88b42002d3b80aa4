// A small strict JSON parser, independent of the program's own key-search readers, used to
// prove that written status files are well-formed JSON and to read them back.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost::testing {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::wstring text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::wstring, JsonValue>> members;  // in file order

    const JsonValue* Find(const std::wstring& key) const {
        for (const auto& [name, value] : members) {
            if (name == key) {
                return &value;
            }
        }
        return nullptr;
    }
};

// Full RFC 8259 grammar (whitespace, \uXXXX escapes with surrogate pairs); nullopt on any error
// or on trailing text.
std::optional<JsonValue> ParseJson(std::wstring_view text);

}  // namespace wrenpost::testing
