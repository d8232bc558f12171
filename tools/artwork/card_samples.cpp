// card-samples: composes each of the four cards with the same sample inputs
// and a fixed date, exactly as the window would show them, and writes
// docs/card-1.png … docs/card-4.png. Run by hand after changing the artwork
// or the composition; the pictures are committed for the documentation and
// for checking by eye that the written texts sit on the printed lines.
//
//   card-samples [output-folder]     (default: the source tree's docs/)

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

#include "card/card_composer.h"
#include "card/surface.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TESS_DOCS_DIR));

    card::CardInputs inputs;
    inputs.photoPath.clear();  // no photo file: the default photo
    inputs.name = QStringLiteral("张三");
    inputs.sex = QStringLiteral("男");
    inputs.age = QStringLiteral("25");
    const card::CardDate date{2025, 1, 9};

    bool written = true;
    for (int index = 0; index < 4; ++index) {
        inputs.templateIndex = index;
        card::Surface surface(400, 280, card::DrawingState::cardCanvas());
        const QString path = folder.filePath(QStringLiteral("card-%1.png").arg(index + 1));
        if (card::composeCard(surface, inputs, date) != card::ComposeResult::Done ||
            !surface.memoryPicture().save(path, "PNG")) {
            std::fprintf(stderr, "card-samples: cannot make %s\n", qPrintable(path));
            written = false;
        }
    }
    return written ? 0 : 1;
}
