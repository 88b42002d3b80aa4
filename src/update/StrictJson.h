// A strict JSON reader for documents that come from outside (the update manifest). Unlike the
// tolerant key readers of the hand-written files, it accepts only well-formed JSON and bounds
// nesting, so a hostile document can neither crash it nor exhaust the stack.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

enum class JsonKind { Null, Bool, Number, String, Array, Object };

struct JsonValue {
    JsonKind kind = JsonKind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;                // String: bytes after unescaping
    std::vector<JsonValue> items;    // Array: elements; Object: member values
    std::vector<std::string> names;  // Object: member names, parallel to items

    // Object member by name; a repeated name yields its last value. Null when absent or when
    // this is not an object.
    const JsonValue* Find(std::string_view name) const;
};

// A value at this depth or deeper (the root is depth 0) fails the parse.
inline constexpr int kJsonDepthLimit = 17;

// Whitespace is space, tab, CR and LF; only whitespace may follow the value. Strings refuse raw
// control characters; a \u escape of 128 or more becomes '?', so escapes only ever yield ASCII.
// Numbers follow the JSON grammar and are converted to double.
[[nodiscard]] bool ParseStrictJson(std::string_view text, JsonValue& out, std::string& error);

}  // namespace wrenpost
