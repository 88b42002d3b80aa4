// The encoding shared by every hand-written file (profile, rules, packages, status, app state):
// one byte per character with CR LF line ends, or - only when a character above U+00FF is
// present - the whole file as UTF-8 behind a byte-order mark. Readers accept both.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wrenpost {

// "\n" becomes CR LF on disk, as text-mode output would write it.
std::string EncodeTextFile(std::wstring_view text);

// A leading UTF-8 byte-order mark selects UTF-8; otherwise each byte is one character.
// CR LF becomes "\n" (a lone CR stays), as a text-mode read would return it.
std::wstring DecodeTextFile(std::string_view bytes);

[[nodiscard]] bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);
[[nodiscard]] bool ReadTextFile(const std::filesystem::path& path, std::wstring& text);

// Writes the bytes to a temporary file in the same folder, flushes it and moves it over the
// target, so the target is either the old file or the whole new one. On failure the error text
// says why and the target is untouched.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       std::wstring* error = nullptr);
[[nodiscard]] bool WriteTextFileAtomically(const std::filesystem::path& path,
                                           std::wstring_view text, std::wstring* error = nullptr);

// Tests only: the next `count` atomic writes fail after writing part of the temporary file,
// as a full disk would.
void FailNextAtomicWritesForTesting(int count);

// Platform part: replaces `target` by `source` in one step (MoveFileExW on Windows).
[[nodiscard]] bool ReplaceFileWith(const std::filesystem::path& source,
                                   const std::filesystem::path& target, std::wstring* error);

}  // namespace wrenpost
