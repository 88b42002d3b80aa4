#include "support/Screenshot_win.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost::testing {
namespace {

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) {
    crc = ~crc;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png += typed;
    PutBigEndian(png, Crc32(typed));
}

// A PNG with uncompressed deflate blocks: large, but needs no library.
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& bgra) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
            raw.push_back(static_cast<char>(bgra[at + 2]));
            raw.push_back(static_cast<char>(bgra[at + 1]));
            raw.push_back(static_cast<char>(bgra[at]));
        }
    }
    std::string zlib = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (const char byte : raw) {
        a = (a + static_cast<unsigned char>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
        zlib.push_back(at + length >= raw.size() ? 1 : 0);
        zlib.push_back(static_cast<char>(length & 0xFF));
        zlib.push_back(static_cast<char>(length >> 8));
        zlib.push_back(static_cast<char>(~length & 0xFF));
        zlib.push_back(static_cast<char>((~length >> 8) & 0xFF));
        zlib.append(raw, at, length);
    }
    PutBigEndian(zlib, (b << 16) | a);

    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", "");
    return png;
}

}  // namespace

bool SaveScreenshot(HWND window, const std::wstring& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    // The window's own DC: wine keeps a surface per window, and the screen DC reads back only
    // part of the desktop.
    HDC screen = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(screen);
    UniqueGdiObject bitmap(CreateCompatibleBitmap(screen, width, height));
    HGDIOBJ old = SelectObject(memory, bitmap.get());
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    const int rows = GetDIBits(memory, static_cast<HBITMAP>(bitmap.get()), 0, height, pixels.data(),
                               &info, DIB_RGB_COLORS);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    if (rows != height) {
        return false;
    }
    // The project's build/screenshots, whichever configuration the test belongs to.
    const std::filesystem::path folder =
        std::filesystem::path(L"Z:" + Utf8ToWide(WRENPOST_SOURCE_DIR)) / L"build" / L"screenshots";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::ofstream file(folder / (name + L".png"), std::ios::binary);
    file << EncodePng(width, height, pixels);
    return static_cast<bool>(file);
}

}  // namespace wrenpost::testing
