// The renderer's card against the real window's: the main window is started
// as the tool starts it, its controls are filled in, and what `drawCard` left
// on `offscreenCanvas` (what "制作" saves) must equal tessivanev-render's
// file byte for byte, for the same inputs and today's date.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "app/controls.h"
#include "app/handlers.h"
#include "app/start.h"
#include "app/window.h"
#include "card/draw_panel.h"

namespace {

const QString kProgram = QStringLiteral(TESS_BINARY_DIR "/tools/render/tessivanev-render");

QApplication& application() {
    static int argc = 1;
    static char name[] = "window_identity_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);  // lives to the end of the process
    return *instance;
}

void render(const QStringList& args) {
    QProcess process;
    process.start(kProgram, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        ADD_FAILURE() << "tessivanev-render failed: " << process.readAllStandardError().toStdString();
}

TEST(RendererAndWindow, MakeTheSameCard) {
    application();
    QTemporaryDir dir;
    const QString photo = QStringLiteral(TESS_TEST_DATA "/pictures/bmpsuite-g-pal8.bmp");
    struct Case {
        const char* what;
        QString photo, name, age;
        int sex, templateIndex;  // list items, zero-based
    };
    const Case cases[] = {
        {"default photo, first template", QString(), QStringLiteral("张三"), QStringLiteral("30"), 0, 0},
        {"photo file, 保密, last template", photo, QStringLiteral("李四"), QStringLiteral("8"), 2, 3},
    };
    const char* const sexes[] = {"男", "女", "保密"};

    app::offscreenCanvas = {};
    std::unique_ptr<app::Window> window(app::launchMainWindow());
    ASSERT_TRUE(window);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->control<app::EditBox>(QStringLiteral("编辑框1"))->writeText(c.photo);
        window->control<app::EditBox>(QStringLiteral("编辑框2"))->writeText(c.name);
        window->control<app::EditBox>(QStringLiteral("编辑框3"))->writeText(c.age);
        window->control<app::ComboBox>(QStringLiteral("组合框1"))->setCurrentIndex(c.sex);
        window->control<app::ComboBox>(QStringLiteral("组合框2"))->setCurrentIndex(c.templateIndex);
        const QDate today = QDate::currentDate();
        app::drawCard();
        const auto* twin = qobject_cast<card::DrawPanel*>(window->unit(app::offscreenCanvas.control)->widget);
        ASSERT_NE(twin, nullptr);
        const std::vector<std::uint8_t> made = twin->surface().getPicture();

        const QString out = dir.filePath(QStringLiteral("card.bmp"));
        QStringList args = {"--template", QString::number(c.templateIndex + 1), "--name", c.name, "--sex",
                            QString::fromUtf8(sexes[c.sex]), "--age", c.age, "--date",
                            today.toString(QStringLiteral("yyyy-MM-dd")), "-o", out};
        if (!c.photo.isEmpty()) args << "--photo" << c.photo;
        render(args);
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray rendered = file.readAll();
        ASSERT_EQ(std::size_t(rendered.size()), made.size());
        EXPECT_TRUE(std::equal(made.begin(), made.end(), reinterpret_cast<const std::uint8_t*>(rendered.constData())))
            << "the renderer's card differs from the window's";
    }
}

}  // namespace
