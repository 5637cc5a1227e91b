#ifndef _WIN32
#error "splash_window_win.cpp is for the Windows build only"
#endif

#include "splash/splash_window_win.h"

#include <ole2.h>
#include <olectl.h>
#include <wincodec.h>

#include "platform/dpi_awareness_win.h"
#include "platform/win_handles.h"
#include "splash/splash_screen.h"
#include "splash/splash_window.h"
#include "start/launcher.h"

namespace corvid {

namespace {

constexpr wchar_t kClassName[] = L"SplashScreenWindow";

// Written out rather than taken from a GUID library, so nothing beyond the
// system DLLs is needed to name them.
constexpr GUID kWicImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID kWicPixelFormat32bppPBGRA = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};

// Releases a COM interface pointer when it goes out of scope.
template <typename T>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    T** put() { return &pointer_; }
    void** putVoid() { return reinterpret_cast<void**>(&pointer_); }

private:
    T* pointer_ = nullptr;
};

template <typename... Pieces>
void traceLine(Launcher& launcher, const Pieces&... pieces) {
    launcher.trace.line("splash: ", pieces...);
}

// A memory stream over the whole file, the stream owning its memory block;
// null when the file is missing, unreadable or empty.
IStream* openPictureStream(const WideString& path, DWORD& size) {
    const UniqueFileHandle file(
        CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) return nullptr;
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    void* bytes = GlobalLock(block);
    DWORD read = 0;
    const bool ok = bytes && ReadFile(file.get(), bytes, size, &read, nullptr) && read > 0;
    if (bytes) GlobalUnlock(block);
    IStream* stream = nullptr;
    if (!ok || FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        GlobalFree(block);
        return nullptr;
    }
    return stream;
}

}  // namespace

SplashScreenWindow::~SplashScreenWindow() {
    if (bitmap) DeleteObject(bitmap);
}

LRESULT SplashScreenWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC target = BeginPaint(window(), &paint);
            BITMAP size;
            if (target && bitmap && GetObjectW(bitmap, sizeof size, &size)) {
                const HDC source = CreateCompatibleDC(target);
                const HGDIOBJ previous = SelectObject(source, bitmap);
                BitBlt(target, 0, 0, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
                SelectObject(source, previous);
                DeleteDC(source);
            }
            EndPaint(window(), &paint);
            if (!painted && launcher_) {
                painted = true;
                traceFirstPaint(*launcher_);
            }
            return 0;
        }
        case WM_ERASEBKGND:
            // The bitmap covers the window; erasing first would only flicker.
            return 1;
        default:
            return passOn(message, wParam, lParam);
    }
}

void SplashScreenWindow::traceFirstPaint(Launcher& launcher) {
    if (!launcher.trace.enabled()) return;
    // Measured from the process's creation, which the trace's own clock
    // (started in the entry point) does not see.
    FILETIME created, exited, kernel, user, now;
    std::string since;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        GetSystemTimeAsFileTime(&now);
        const auto ticks = [](const FILETIME& t) {
            return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        const long long elapsed = static_cast<long long>(ticks(now) - ticks(created));
        since = " (" + std::to_string(elapsed / 10000) + "." + std::to_string(elapsed / 1000 % 10) +
                " ms after the process was created)";
    }
    traceLine(launcher, "first frame painted", since);
}

PictureBitmap loadPictureWithImagingComponent(IStream* stream, COLORREF background) {
    PictureBitmap result;
    ComPointer<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(kWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                                factory.putVoid()))) {
        return result;
    }
    ComPointer<IWICBitmapDecoder> decoder;
    ComPointer<IWICBitmapFrameDecode> frame;
    ComPointer<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), kWicPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 0x7FFF ||
        height > 0x7FFF) {
        return result;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return result;
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return result;
    }
    // COLORREF is 0x00BBGGRR; the pixels are 0xAARRGGBB.
    const std::uint32_t under = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
    auto* pixel = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0, count = std::size_t{width} * height; i < count; ++i) {
        pixel[i] = blendOverBackground(pixel[i], under);
    }
    result.bitmap = bitmap;
    result.width = static_cast<int>(width);
    result.height = static_cast<int>(height);
    return result;
}

namespace {

// The window class, registered once per process; false when it cannot be.
bool registerSplashClass(bool shadow) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_SAVEBITS | (shadow ? CS_DROPSHADOW : 0);
    windowClass.lpfnWndProc = &BoundWindow::windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass)) return true;
    if (GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
    if (!shadow) return false;
    // A system that refuses the drop shadow gets a window without one.
    windowClass.style &= ~CS_DROPSHADOW;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND createSplashWindow(SplashScreenWindow& window, const WideString& path, bool shadow, Launcher* launcher) {
    DWORD fileSize = 0;
    ComPointer<IPicture> picture;
    // Real Windows' OLE loader takes BMP, GIF, JPEG (and icons and metafiles),
    // not PNG; what it refuses goes through the Imaging Component.
    PictureBitmap decoded;
    if (IStream* stream = openPictureStream(path, fileSize)) {
        if (FAILED(OleLoadPicture(stream, static_cast<LONG>(fileSize), FALSE, IID_IPicture, picture.putVoid()))) {
            const LARGE_INTEGER start{};
            // The Imaging Component is reached through COM, whose start costs
            // more than everything else here (a tenth of a second under
            // Wine): only pictures that need it pay for it.
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) {
                decoded = loadPictureWithImagingComponent(stream, GetSysColor(COLOR_WINDOW));
            }
            if (SUCCEEDED(com)) CoUninitialize();
        }
        stream->Release();  // frees the memory block
    }

    const bool registered = registerSplashClass(shadow);

    int width = 0, height = 0, dpiX = 0, dpiY = 0;
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    if (picture && SUCCEEDED(picture->get_Width(&himetricWidth)) && SUCCEEDED(picture->get_Height(&himetricHeight))) {
        const HDC screen = GetDC(nullptr);
        dpiX = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY = GetDeviceCaps(screen, LOGPIXELSY);
        width = himetricToPixels(himetricWidth, dpiX);
        height = himetricToPixels(himetricHeight, dpiY);
        ReleaseDC(nullptr, screen);
    } else if (decoded.bitmap) {
        width = decoded.width;
        height = decoded.height;
    }
    const int left = centeredEdge(GetSystemMetrics(SM_CXSCREEN), width);
    const int top = centeredEdge(GetSystemMetrics(SM_CYSCREEN), height);
    if (launcher) {
        const char* what = picture          ? "picture loaded"
                           : decoded.bitmap ? "picture decoded (imaging component)"
                                            : "no picture";
        if (picture) {
            traceLine(*launcher, what, ", ", width, "x", height, " pixels at ", left, ",", top, " (", himetricWidth,
                      "x", himetricHeight, " HIMETRIC at ", dpiX, "x", dpiY, " dpi)");
        } else {
            traceLine(*launcher, what, ", ", width, "x", height, " pixels at ", left, ",", top);
        }
    }

    HWND handle = nullptr;
    if (registered) {
        handle = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, left, top, width, height, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), &window);
    }
    if (launcher) traceLine(*launcher, handle ? "window created" : "no window created");

    // The picture is scaled once, into a bitmap of the window's size; every
    // paint is then one copy.
    const HDC windowSurface = GetDC(handle);
    const HDC memory = CreateCompatibleDC(windowSurface);
    if (window.bitmap) DeleteObject(window.bitmap);
    window.bitmap = CreateCompatibleBitmap(windowSurface, width, height);
    const HGDIOBJ previous = SelectObject(memory, window.bitmap);
    if (picture) {
        picture->Render(memory, 0, 0, width, height, 0, himetricHeight, himetricWidth, -himetricHeight, nullptr);
    } else if (decoded.bitmap) {
        const HDC source = CreateCompatibleDC(windowSurface);
        const HGDIOBJ before = SelectObject(source, decoded.bitmap);
        BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
        SelectObject(source, before);
        DeleteDC(source);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(handle, windowSurface);
    if (decoded.bitmap) DeleteObject(decoded.bitmap);
    return handle;
}

namespace {

DWORD WINAPI splashThreadMain(LPVOID parameter) {
    auto& launcher = *static_cast<Launcher*>(parameter);
    // The picture is measured at the monitor's dpi, and the window made for it.
    const PerMonitorDpiScope dpi;
    const bool shadow = wantsSplashShadow(launcher.splashShadow);
    const HWND window = createSplashWindow(*launcher.splashWindow, launcher.splashImagePath, shadow, &launcher);
    launcher.ownerWindow.store(window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (window) DestroyWindow(window);
    return 0;
}

}  // namespace

void SplashWindowDeleter::operator()(SplashScreenWindow* window) const noexcept { delete window; }

void startNativeSplash(Launcher& launcher) {
    launcher.splashWindow.reset(new SplashScreenWindow(&launcher));
    DWORD id = 0;
    launcher.splashThread = CreateThread(nullptr, 0, splashThreadMain, &launcher, 0, &id);
    launcher.splashThreadId = id;
    if (!launcher.splashThread) traceLine(launcher, "the splash thread could not be started");
}

void closeNativeSplash(Launcher& launcher) {
    if (!launcher.splashWindow) return;
    const HANDLE thread = launcher.splashThread;
    DWORD exitCode = 0;
    // A quit posted before the thread has its message queue is lost: post
    // until the thread has ended. The wait returns as soon as it has, and
    // keeps this loop from taking a core from the thread it waits for.
    do {
        PostThreadMessageW(launcher.splashThreadId, WM_QUIT, 0, 0);
        if (thread) WaitForSingleObject(thread, 10);
    } while (thread && GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE);
    if (thread) CloseHandle(thread);
    launcher.splashThread = nullptr;
    // The window is gone: a box owned by its dead handle would not open at
    // all (the exception dialog comes right after this close), so later
    // boxes have no owner.
    launcher.ownerWindow.store(nullptr);
    launcher.splashWindow.reset();
    traceLine(launcher, "window closed");
}

}  // namespace corvid
