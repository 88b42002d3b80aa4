#include "support/Screenshot_win.h"

#include <initguid.h>  // defines the imaging GUIDs here: no import library carries them
// The headers below need initguid.h first.
#include <wincodec.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <vector>

#include "common/UniqueHandle_win.h"
#include "outlook/OutlookBridge_win.h"  // ComPtr

namespace wrenpost {
namespace {

class MemoryDc {
public:
    explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDc() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

bool Fail(std::wstring& error, const wchar_t* step, HRESULT result) {
    wchar_t code[16] = {};
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
    error = std::wstring(step) + L" failed: " + code;
    return false;
}

bool WritePng(const std::wstring& path, const std::vector<std::uint32_t>& pixels, UINT width,
              UINT height, std::wstring& error) {
    ComPtr<IWICImagingFactory> factory;
    HRESULT result =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(result)) {
        return Fail(error, L"creating the imaging factory", result);
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    const struct {
        const wchar_t* step;
        std::function<HRESULT()> call;
    } steps[] = {
        {L"creating the stream", [&] { return factory->CreateStream(stream.put()); }},
        {L"opening the file",
         [&] { return stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE); }},
        {L"creating the encoder",
         [&] { return factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()); }},
        {L"starting the encoder",
         [&] { return encoder->Initialize(stream.get(), WICBitmapEncoderNoCache); }},
        {L"creating the frame", [&] { return encoder->CreateNewFrame(frame.put(), nullptr); }},
        {L"starting the frame", [&] { return frame->Initialize(nullptr); }},
        {L"sizing the frame", [&] { return frame->SetSize(width, height); }},
        {L"choosing the format", [&] { return frame->SetPixelFormat(&format); }},
        {L"writing the pixels",
         [&] {
             return frame->WritePixels(
                 height, width * 4, static_cast<UINT>(pixels.size() * 4),
                 reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels.data())));
         }},
        {L"finishing the frame", [&] { return frame->Commit(); }},
        {L"finishing the file", [&] { return encoder->Commit(); }},
    };
    for (const auto& step : steps) {
        result = step.call();
        if (FAILED(result)) {
            return Fail(error, step.step, result);
        }
    }
    return true;
}

}  // namespace

bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath, std::wstring& error) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    RECT rect{};
    if (!GetWindowRect(window, &rect)) {
        error = L"no window rectangle";
        return false;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const UniqueWindowDc screen(nullptr);
    const MemoryDc memory(screen.get());
    UniqueGdiObject bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!screen || memory.get() == nullptr || !bitmap) {
        error = L"no device context or bitmap for the copy";
        return false;
    }
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    const bool copied =
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY) != 0;
    SelectObject(memory.get(), previous);
    if (!copied) {
        error = L"copying from the screen failed";
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the encoder expects
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, height, pixels.data(), &info,
                  DIB_RGB_COLORS) != height) {
        error = L"reading the copied pixels failed";
        return false;
    }
    const std::wstring folder = pngPath.substr(0, pngPath.find_last_of(L"\\/"));
    CreateDirectoryW(folder.c_str(), nullptr);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool written =
        WritePng(pngPath, pixels, static_cast<UINT>(width), static_cast<UINT>(height), error);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return written;
}

}  // namespace wrenpost
