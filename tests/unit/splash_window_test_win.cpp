// The splash window's decoding of pictures through the Windows Imaging
// Component, tried directly: Wine's OLE loader takes PNG itself, so a
// launcher run under Wine never reaches this path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "splash/splash_screen.h"
#include "splash/splash_window_win.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void appendChunk(std::string& png, const char* type, const std::string& data) {
    appendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    appendBigEndian(png, crc32(body));
}

struct Rgba {
    std::uint8_t r, g, b, a;
};

// A PNG of straight-alpha RGBA pixels, its image data in one stored
// (uncompressed) deflate block.
std::string encodePng(int width, int height, const std::vector<Rgba>& pixels) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no row filter
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[static_cast<std::size_t>(y * width + x)];
            raw += {static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b), static_cast<char>(p.a)};
        }
    }
    std::string zlib = "\x78\x01";
    zlib += '\x01';  // the final block, stored
    const auto length = static_cast<std::uint16_t>(raw.size());
    zlib += {static_cast<char>(length & 0xFF), static_cast<char>(length >> 8), static_cast<char>(~length & 0xFF),
             static_cast<char>((~length >> 8) & 0xFF)};
    zlib += raw;
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    appendBigEndian(zlib, (b << 16) | a);

    std::string header;
    appendBigEndian(header, static_cast<std::uint32_t>(width));
    appendBigEndian(header, static_cast<std::uint32_t>(height));
    header += {8, 6, 0, 0, 0};  // 8 bits, RGBA
    std::string png = "\x89PNG\r\n\x1A\n";
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlib);
    appendChunk(png, "IEND", "");
    return png;
}

IStream* streamOver(const std::string& bytes) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

class ImagingComponent : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(ImagingComponent, PngIsDecodedAtItsPixelSizeWithAlphaOverTheBackground) {
    const std::vector<Rgba> pixels = {
        {255, 0, 0, 255}, {0, 0, 0, 0},     {0, 0, 255, 128},
        {10, 200, 30, 255}, {255, 255, 255, 64}, {0, 128, 0, 0},
    };
    const COLORREF background = RGB(0x10, 0x80, 0xF0);
    IStream* stream = streamOver(encodePng(3, 2, pixels));
    ASSERT_NE(stream, nullptr);
    const PictureBitmap picture = loadPictureWithImagingComponent(stream, background);
    stream->Release();
    ASSERT_NE(picture.bitmap, nullptr);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);

    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(picture.bitmap, sizeof section, &section), static_cast<int>(sizeof section));
    ASSERT_NE(section.dsBm.bmBits, nullptr);
    // Top-down: the first row in memory is the picture's first.
    const auto* row0 = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t got = row0[i];
        const Rgba& p = pixels[i];
        // Straight alpha over the background, worked out in floating point.
        const auto over = [&](std::uint8_t colour, std::uint8_t under) {
            return (colour * p.a + under * (255.0 - p.a)) / 255.0;
        };
        const double expected[3] = {over(p.r, GetRValue(background)), over(p.g, GetGValue(background)),
                                    over(p.b, GetBValue(background))};
        const std::uint32_t channels[3] = {(got >> 16) & 0xFF, (got >> 8) & 0xFF, got & 0xFF};
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(channels[c], expected[c], 1.5) << "pixel " << i << " channel " << c;
    }
    DeleteObject(picture.bitmap);
}

TEST_F(ImagingComponent, WhatIsNoPictureGivesNoBitmap) {
    const std::string png = encodePng(1, 1, {{1, 2, 3, 255}});
    for (const std::string& bytes : {std::string("not a picture"), png.substr(0, png.size() / 2), std::string()}) {
        IStream* stream = streamOver(bytes);
        ASSERT_NE(stream, nullptr);
        const PictureBitmap picture = loadPictureWithImagingComponent(stream, RGB(0, 0, 0));
        stream->Release();
        EXPECT_EQ(picture.bitmap, nullptr) << bytes.size() << " bytes";
        if (picture.bitmap) DeleteObject(picture.bitmap);
    }
}

// The splash thread owns the window; message boxes are owned by it while it
// is up, and by nothing once it has been closed (its handle is dead then).
TEST(SplashThread, OwnsTheWindowThatOwnsTheBoxesUntilClosed) {
    for (const char16_t* picture : {u"Z:\\no such folder\\missing.bmp", u"C:\\windows\\win.ini"}) {
        testing::FakePlatform fake;
        fake.profiles.files[u"C:\\Apps\\Tool\\tool.ini"] = WideString(u"[Display]\nSplash Screen=") + picture + u"\n";
        Trace trace;
        Launcher launcher(fake.platform, trace, {});
        ASSERT_TRUE(startSplashScreen(launcher));
        ASSERT_NE(launcher.splashWindow, nullptr);
        HWND window = nullptr;
        for (int i = 0; i < 500 && !(window = static_cast<HWND>(launcher.owner())); ++i) Sleep(10);
        ASSERT_NE(window, nullptr) << "the splash thread wrote no owner";
        wchar_t name[32] = L"";
        GetClassNameW(window, name, 32);
        EXPECT_STREQ(name, L"SplashScreenWindow");
        EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.right - rect.left, 0) << "no picture, no size";
        closeNativeSplash(launcher);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(launcher.owner(), nullptr);
        EXPECT_EQ(launcher.splashWindow, nullptr);
        EXPECT_EQ(launcher.splashThread, nullptr);
        closeNativeSplash(launcher);  // a second close does nothing
    }
}

}  // namespace
}  // namespace corvid
