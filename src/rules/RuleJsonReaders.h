// The extra key readers of the rules file and rule packages: a signed integer reader that
// reports out-of-range numbers, an array reader, an object splitter and the bracket-structure
// check. Scanners equivalent to the documented ECMAScript patterns (searched, first match wins):
// linear time, no recursion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

enum class IntFieldRead { Absent, Read, OutOfRange };

// "KEY"\s*:\s*(-?\d+)  converted as a signed 32-bit decimal. `value` is set only when Read.
IntFieldRead ReadSignedIntField(std::wstring_view text, std::wstring_view key, std::int32_t& value);

// "KEY"\s*:\s*\[  then the text up to the matching ']' (depth counted outside string literals,
// a backslash in a string skipping the next character). Empty when the key is absent, the array
// is empty, or the array is never closed.
std::wstring_view ReadJsonArrayField(std::wstring_view text, std::wstring_view key);

// The top-level objects of an array's text, each from '{' to its matching '}' inclusive; text
// between objects, stray '}' and an object left open at the end are ignored.
std::vector<std::wstring_view> SplitJsonObjects(std::wstring_view arrayText);

// Braces and square brackets balance (each on its own, never below zero) outside string
// literals, and the text does not end inside a string.
bool HasBalancedBrackets(std::wstring_view text);

// The object's text with the contents of its nested arrays and objects left out, so that key
// readers see only the object's own members.
std::wstring OwnMembersOf(std::wstring_view objectText);

// Spaces, tabs, CRs and LFs only (or nothing at all).
bool IsBlankFileText(std::wstring_view text);

}  // namespace wrenpost
