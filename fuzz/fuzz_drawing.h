// What both fuzz targets do with a picture that loaded: check that the
// decoded picture is internally consistent and within the pixel budget, draw
// it the two ways the card does (natural size, and squeezed into the photo
// frame with both stretching rules), then unload it and check it is gone.
// Any inconsistency aborts, so libFuzzer keeps the input as a finding.
//
// Pictures above kDrawnPixelLimit are checked but not drawn. A few hundred
// bytes can declare a legal picture of tens of megapixels (a JPEG or GIF
// whose data simply end), and drawing converts every pixel: under the
// sanitizers that takes tens of seconds per input, which would stall the
// fuzzer on inputs that show nothing new. The drawing code has no
// size-dependent path above this size.
#pragma once

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "card/surface.h"
#include "pictures/limits.h"
#include "pictures/picture.h"

namespace fuzzing {

inline constexpr std::int64_t kDrawnPixelLimit = std::int64_t{1} << 22;  // 4 megapixels

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// Qt needs one application object for fonts and the offscreen screen; the
// card surface draws without any window.
inline void startQt() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "tessivanev-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

inline std::uint64_t expectedPixelBytes(const pictures::Picture& p) {
    const auto w = static_cast<std::uint64_t>(p.width), h = static_cast<std::uint64_t>(p.height);
    switch (p.kind) {
    case pictures::PictureKind::Jpeg:
    case pictures::PictureKind::Bmp: return w * h * 3;
    case pictures::PictureKind::Icon:
    case pictures::PictureKind::Cursor: return w * h * 4;
    case pictures::PictureKind::Gif:
        return static_cast<std::uint64_t>(p.imageWidth) * static_cast<std::uint64_t>(p.imageHeight);
    case pictures::PictureKind::Pcx8:
    case pictures::PictureKind::Pcx1: return w * h;
    }
    fail("unknown picture kind");
}

inline void checkPicture(const pictures::Picture& p) {
    if (p.width <= 0 || p.height <= 0) fail("a loaded picture has no area");
    if (p.width > pictures::kMaxDimension || p.height > pictures::kMaxDimension) fail("side beyond kMaxDimension");
    // Every kind fits the budget at 3 bytes a pixel at its natural size (the
    // kinds kept as indices are bounded at the 4 bytes drawing needs).
    if (!pictures::checkedPixelBytes(p.width, p.height, 3)) fail("natural size beyond the pixel budget");
    if (p.pixels.size() > pictures::kMaxPixelBytes) fail("pixels beyond the pixel budget");
    if (p.kind == pictures::PictureKind::Gif && (p.imageWidth < 0 || p.imageHeight < 0))
        fail("negative GIF image size");
    if (p.pixels.size() != expectedPixelBytes(p)) fail("pixel buffer does not match the picture's size");
    if (p.kind == pictures::PictureKind::Pcx1)
        for (auto v : p.pixels)
            if (v > 1) fail("a 1-bit PCX pixel is neither 0 nor 1");
}

inline void drawAndUnload(pictures::PictureHandle handle) {
    if (handle == 0) return;
    if (!pictures::isPictureLoaded(handle)) fail("a returned handle is not loaded");
    const pictures::Picture* picture = pictures::findPicture(handle);
    if (!picture) fail("a loaded handle has no picture");
    checkPicture(*picture);

    if (std::int64_t{picture->width} * picture->height <= kDrawnPixelLimit) {
        card::Surface surface(400, 280, card::DrawingState::cardCanvas());
        surface.drawPicture(handle, 0, 0);
        surface.setSmoothStretching(true);
        surface.drawPicture(handle, 324, 15, 60, 65);
        surface.setSmoothStretching(false);
        surface.drawPicture(handle, 324, 15, 60, 65);
    }

    pictures::unloadPicture(handle);
    if (pictures::isPictureLoaded(handle) || pictures::findPicture(handle)) fail("an unloaded handle is still live");
}

}  // namespace fuzzing
