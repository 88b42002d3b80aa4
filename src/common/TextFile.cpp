// Encoding, reading and crash-safe writing of the program's text files.
#include "common/TextFile.h"

#include <atomic>
#include <system_error>

#include "common/Text.h"

namespace wrenpost {
namespace {

std::atomic<int> g_failingWrites{0};
std::atomic<unsigned> g_tempCounter{0};

bool FitsOneByte(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) {
            return false;
        }
    }
    return true;
}

std::wstring WithLfAsCrLf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (const wchar_t c : text) {
        if (c == L'\n') {
            out.push_back(L'\r');
        }
        out.push_back(c);
    }
    return out;
}

// <name>.<process id>-<n>.tmp: no other live writer, in this process or another, uses the same
// name, and the exclusive creation skips leftovers of dead ones.
std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
    std::filesystem::path temp = path;
    temp += L"." + ToWideDecimal(static_cast<long long>(CurrentProcessId())) + L"-" +
            ToWideDecimal(static_cast<long long>(g_tempCounter.fetch_add(1))) + L".tmp";
    return temp;
}

bool TakeFailingWrite() {
    int failing = g_failingWrites.load();
    while (failing > 0 && !g_failingWrites.compare_exchange_weak(failing, failing - 1)) {
    }
    return failing > 0;
}

bool CreateParentFolder(const std::filesystem::path& path, std::wstring* error) {
    if (!path.has_parent_path()) {
        return true;
    }
    std::error_code failure;
    std::filesystem::create_directories(path.parent_path(), failure);
    if (failure) {
        if (error) {
            *error = L"Could not create " + path.parent_path().wstring();
        }
        return false;
    }
    return true;
}

}  // namespace

std::string EncodeTextFile(std::wstring_view text) {
    const std::wstring withCrLf = WithLfAsCrLf(text);
    if (FitsOneByte(withCrLf)) {
        std::string out;
        out.reserve(withCrLf.size());
        for (const wchar_t c : withCrLf) {
            out.push_back(static_cast<char>(static_cast<unsigned char>(c)));
        }
        return out;
    }
    return "\xEF\xBB\xBF" + WideToUtf8(withCrLf);
}

std::wstring DecodeTextFile(std::string_view bytes) {
    std::wstring raw;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        raw = Utf8ToWide(bytes.substr(3));
    } else {
        raw = Latin1ToWide(bytes);
    }
    std::wstring out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == L'\r' && i + 1 < raw.size() && raw[i + 1] == L'\n') {
            continue;
        }
        out.push_back(raw[i]);
    }
    return out;
}

bool ReadTextFile(const std::filesystem::path& path, std::wstring& text, FileReadFailure* failure) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes, failure)) {
        return false;
    }
    text = DecodeTextFile(bytes);
    return true;
}

namespace {

// Writes a flushed temporary sibling, then moves it onto `path` (replacing it or not).
NewFileResult WriteThroughTemporary(const std::filesystem::path& path, std::string_view bytes,
                                    bool replace, std::wstring* error) {
    if (path.empty()) {
        if (error) {
            *error = L"No file to write";
        }
        return NewFileResult::Failed;
    }
    if (!CreateParentFolder(path, error)) {
        return NewFileResult::Failed;
    }
    const bool failing = TakeFailingWrite();
    // A crashed writer may have left a temporary behind; we simply take the next name.
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path temp = TemporarySibling(path);
        const NewFileResult result =
            WriteNewFile(temp, failing ? bytes.substr(0, bytes.size() / 2) : bytes, error);
        if (result == NewFileResult::NameTaken) {
            continue;
        }
        std::error_code ignored;
        if (result == NewFileResult::Failed || failing) {
            std::filesystem::remove(temp, ignored);
            if (failing && error) {
                *error = L"Could not write " + temp.wstring();
            }
            return NewFileResult::Failed;
        }
        const NewFileResult moved =
            replace ? (ReplaceFileWith(temp, path, error) ? NewFileResult::Written
                                                          : NewFileResult::Failed)
                    : MoveFileIfAbsent(temp, path, error);
        if (moved != NewFileResult::Written) {
            std::filesystem::remove(temp, ignored);
        }
        return moved;
    }
    if (error) {
        *error = L"Could not find a free temporary name beside " + path.wstring();
    }
    return NewFileResult::Failed;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::wstring* error) {
    return WriteThroughTemporary(path, bytes, true, error) == NewFileResult::Written;
}

NewFileResult WriteNewFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                     std::wstring* error) {
    return WriteThroughTemporary(path, bytes, false, error);
}

bool WriteTextFileAtomically(const std::filesystem::path& path, std::wstring_view text,
                             std::wstring* error) {
    return WriteFileAtomically(path, EncodeTextFile(text), error);
}

void FailNextAtomicWritesForTesting(int count) {
    g_failingWrites.store(count);
}

void SetTemporaryNameCounterForTesting(unsigned next) {
    g_tempCounter.store(next);
}

}  // namespace wrenpost
