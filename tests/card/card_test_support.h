// Shared helpers of the card tests: a headless application, pixel probes and
// small BMP files built in memory.
#pragma once

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "card/surface.h"

// fontconfig keeps a small cache it never frees; that is not the card code's
// leak. LeakSanitizer reads this hook when the tests run sanitized. Defined
// here, not inline, so it is always emitted: each test program includes this
// header from its one source file.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace cardtest {

// Text needs an application; the tests run on Qt's offscreen platform also
// when started by hand.
inline void ensureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "card_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals are gone by the time statics are, and
    // tearing the application down then crashes.
    static auto* app = new QGuiApplication(argc, argv);
    (void)app;
}

inline QRgb pixel(const card::Surface& surface, int x, int y) {
    return surface.memoryPicture().pixel(x, y) & 0xFFFFFFu;
}

// Points where two pictures of the same size differ.
inline std::vector<QPoint> differences(const QImage& a, const QImage& b) {
    std::vector<QPoint> points;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFFu) != (b.pixel(x, y) & 0xFFFFFFu)) points.emplace_back(x, y);
    return points;
}

inline bool anyDifferenceIn(const QImage& a, const QImage& b, const QRect& area) {
    for (const QPoint& p : differences(a, b))
        if (area.contains(p)) return true;
    return false;
}

// A 24-bit bottom-up BMP file image whose pixel (x, y) is colour(x, y).
inline std::vector<std::uint8_t> bmp24(int width, int height, const std::function<QRgb(int, int)>& colour) {
    const auto stride = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> file(54 + imageSize, 0);
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<std::uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, imageSize, 4);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = 54 + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            const std::size_t at = row + static_cast<std::size_t>(x) * 3;
            file[at] = static_cast<std::uint8_t>(qBlue(c));
            file[at + 1] = static_cast<std::uint8_t>(qGreen(c));
            file[at + 2] = static_cast<std::uint8_t>(qRed(c));
        }
    }
    return file;
}

inline bool writeFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

}  // namespace cardtest
