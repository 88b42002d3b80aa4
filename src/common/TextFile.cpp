// Encoding, reading and crash-safe writing of the program's text files.
#include "common/TextFile.h"

#include <atomic>
#include <cstdio>
#include <fstream>
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

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
    std::filesystem::path temp = path;
    temp += L".tmp";
    temp += ToWideDecimal(static_cast<long long>(g_tempCounter.fetch_add(1)));
    return temp;
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

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return false;
    }
    bytes = std::move(content);
    return true;
}

bool ReadTextFile(const std::filesystem::path& path, std::wstring& text) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        return false;
    }
    text = DecodeTextFile(bytes);
    return true;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::wstring* error) {
    const std::filesystem::path temp = TemporarySibling(path);
    bool written = false;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            if (error) {
                *error = L"Could not create " + temp.wstring();
            }
            return false;
        }
        int failing = g_failingWrites.load();
        while (failing > 0 && !g_failingWrites.compare_exchange_weak(failing, failing - 1)) {
        }
        if (failing > 0) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
            out.close();
        } else {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            written = static_cast<bool>(out);
            out.close();
            written = written && !out.fail();
        }
    }
    std::error_code ignored;
    if (!written) {
        std::filesystem::remove(temp, ignored);
        if (error) {
            *error = L"Could not write " + temp.wstring();
        }
        return false;
    }
    if (!ReplaceFileWith(temp, path, error)) {
        std::filesystem::remove(temp, ignored);
        return false;
    }
    return true;
}

bool WriteTextFileAtomically(const std::filesystem::path& path, std::wstring_view text,
                             std::wstring* error) {
    return WriteFileAtomically(path, EncodeTextFile(text), error);
}

void FailNextAtomicWritesForTesting(int count) { g_failingWrites.store(count); }

}  // namespace wrenpost
