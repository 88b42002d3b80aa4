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

// Why a read failed. `absent`: nothing has that name, or a folder on the way is missing.
// Otherwise something there could not be read (locked by another program, access denied, a
// folder, an I/O error) and `reason` is the system's short text for it, without a final stop.
struct FileReadFailure {
    bool absent = false;
    std::wstring reason;
};

// The whole file; on failure `bytes` or `text` is left as passed and `failure`, when given, says
// why. Other programs may read, write, rename or delete the file meanwhile (a replacing writer
// is not blocked by our read).
[[nodiscard]] bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes,
                                 FileReadFailure* failure = nullptr);
[[nodiscard]] bool ReadTextFile(const std::filesystem::path& path, std::wstring& text,
                                FileReadFailure* failure = nullptr);

// Creates the target's folder if missing, writes the bytes to a temporary file of a name no
// other writer holds in the same folder, flushes it to the disk and moves it over the target, so
// the target is either the old file or the whole new one, even after a power cut. On failure the
// error text says why, the target is untouched and no temporary file is left.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       std::wstring* error = nullptr);
enum class NewFileResult { Written, NameTaken, Failed };

// As WriteFileAtomically, but never replaces: NameTaken when `path` already exists, also when
// another writer created it while this one was writing.
[[nodiscard]] NewFileResult WriteNewFileAtomically(const std::filesystem::path& path,
                                                   std::string_view bytes,
                                                   std::wstring* error = nullptr);
[[nodiscard]] bool WriteTextFileAtomically(const std::filesystem::path& path,
                                           std::wstring_view text, std::wstring* error = nullptr);

// Tests only: the next `count` atomic writes fail after writing part of the temporary file,
// as a full disk would.
void FailNextAtomicWritesForTesting(int count);
// Tests only: the number the next temporary name of this process carries.
void SetTemporaryNameCounterForTesting(unsigned next);

// ---- platform part (ReadFileBytes is one too: the reason comes from the system)

// Creates `path` only if no file or folder has that name (NameTaken otherwise), writes the bytes
// and flushes them to the disk before closing it. A Failed write may leave a partial file.
[[nodiscard]] NewFileResult WriteNewFile(const std::filesystem::path& path, std::string_view bytes,
                                         std::wstring* error);

// Replaces `target` by `source` in one step (MoveFileExW with write-through on Windows).
[[nodiscard]] bool ReplaceFileWith(const std::filesystem::path& source,
                                   const std::filesystem::path& target, std::wstring* error);
// Gives `source` the name `target` in one step only if nothing has that name (NameTaken).
[[nodiscard]] NewFileResult MoveFileIfAbsent(const std::filesystem::path& source,
                                             const std::filesystem::path& target,
                                             std::wstring* error);

unsigned long CurrentProcessId();

}  // namespace wrenpost
