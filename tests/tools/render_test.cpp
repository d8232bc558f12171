// tessivanev-render, driven as a user drives it: the built program with its
// arguments, its files, its messages and its exit status. Its cards are
// compared byte for byte with a card composed the window's way (a card
// canvas surface, composeCard, getPicture).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

#include "card/card_composer.h"
#include "card/surface.h"

namespace {

const QString kProgram = QStringLiteral(TESS_BINARY_DIR "/tools/render/tessivanev-render");
const QString kPhoto = QStringLiteral(TESS_TEST_DATA "/pictures/bmpsuite-g-pal8.bmp");

void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "render_test";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);  // lives for the whole test run
}

struct RenderRun {
    int exitCode = -1;
    QString out;
    QStringList errorLines;
};

RenderRun runRender(const QStringList& args) {
    QProcess process;
    process.start(kProgram, args);
    RenderRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tessivanev-render did not finish: " << args.join(' ').toStdString();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.errorLines = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return run;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window's card: `drawCard` composes on `offscreenCanvas` (a surface with
// the card canvas's stored state) and "制作" saves its getPicture().
QByteArray windowCard(int templateNumber, const QString& name, const QString& sex, const QString& age,
                      const QString& photo, card::CardDate date) {
    ensureGuiApplication();
    card::Surface offscreenCanvas(400, 280, card::DrawingState::cardCanvas());
    card::CardInputs inputs;
    inputs.templateIndex = templateNumber - 1;
    inputs.photoPath = photo;
    inputs.name = name;
    inputs.sex = sex;
    inputs.age = age;
    EXPECT_EQ(card::composeCard(offscreenCanvas, inputs, date), card::ComposeResult::Done);
    const std::vector<std::uint8_t> bytes = offscreenCanvas.getPicture();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST(RenderOneCard, IsByteIdenticalToTheWindowsExport) {
    struct Case {
        const char* what;
        int templateNumber;
        QString name, sex, age, photo;
    };
    const Case cases[] = {
        {"default photo", 1, QStringLiteral("张三"), QStringLiteral("男"), QStringLiteral("30"), QString()},
        {"photo file, template 4", 4, QStringLiteral("李四 Li"), QStringLiteral("保密"), QStringLiteral("99"), kPhoto},
        {"empty texts", 3, QString(), QStringLiteral("女"), QString(), QString()},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = dir.filePath(QStringLiteral("card.bmp"));
        QStringList args = {"--template", QString::number(c.templateNumber), "--name", c.name, "--sex", c.sex,
                            "--age", c.age, "--date", "2025-01-09", "-o", out};
        if (!c.photo.isEmpty()) args << "--photo" << c.photo;
        const RenderRun run = runRender(args);
        ASSERT_EQ(run.exitCode, 0) << run.errorLines.join('\n').toStdString();
        EXPECT_TRUE(run.errorLines.isEmpty());
        const QByteArray have = readAll(out);
        EXPECT_EQ(have.size(), 336054);
        EXPECT_TRUE(have == windowCard(c.templateNumber, c.name, c.sex, c.age, c.photo, {2025, 1, 9}))
            << "the rendered card differs from the window's";
    }
}

TEST(RenderOneCard, WritesPngWhenTheNameEndsInPng) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("card.PNG"));
    const RenderRun run = runRender({"--template", "2", "--name", "王五", "--sex", "女", "--age", "7", "--date",
                               "2024-03-05", "-o", png});
    ASSERT_EQ(run.exitCode, 0) << run.errorLines.join('\n').toStdString();
    const QByteArray bytes = readAll(png);
    ASSERT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage fromPng = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
    const QImage fromBmp = QImage::fromData(windowCard(2, QStringLiteral("王五"), QStringLiteral("女"),
                                                       QStringLiteral("7"), QString(), {2024, 3, 5}))
                               .convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(fromPng.size(), QSize(400, 280));
    EXPECT_TRUE(fromPng == fromBmp) << "the PNG does not hold the card's pixels";
}

TEST(RenderOneCard, RefusesBadInputWithOneLineAndWritesNothing) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("card.bmp"));
    writeText(dir.filePath(QStringLiteral("not-a-picture.jpg")), "plain text, not a picture");
    struct Case {
        const char* what;
        QStringList args;
        int exitCode;
        const char* message;  // a part of the error line
    };
    const QStringList base = {"--name", "张三", "--age", "30", "-o", out};
    const Case cases[] = {
        {"template 0", QStringList{"--template", "0", "--sex", "男"} + base, 2, "--template \"0\" is not 1 to 4"},
        {"template 5", QStringList{"--template", "5", "--sex", "男"} + base, 2, "--template \"5\" is not 1 to 4"},
        {"sex not in the list", QStringList{"--template", "1", "--sex", "M"} + base, 2, "is not one of 男, 女, 保密"},
        {"impossible date", QStringList{"--template", "1", "--sex", "男", "--date", "2025-02-30"} + base, 2,
         "is not a YYYY-MM-DD date"},
        {"missing photo", QStringList{"--template", "1", "--sex", "男", "--photo", dir.filePath("none.jpg")} + base,
         1, "cannot be opened"},
        {"photo that is not a picture",
         QStringList{"--template", "1", "--sex", "男", "--photo", dir.filePath("not-a-picture.jpg")} + base, 1,
         "is not a picture"},
        {"missing --sex", QStringList{"--template", "1"} + base, 2, "missing --sex"},
        {"unknown option", QStringList{"--colour", "red"}, 2, "unknown option"},
        {"no output folder", {"--template", "1", "--name", "a", "--sex", "男", "--age", "1", "-o",
                              dir.filePath("no/such/folder/card.bmp")}, 1, "cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RenderRun run = runRender(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join('\n').toStdString();
        EXPECT_TRUE(run.errorLines[0].contains(QString::fromUtf8(c.message))) << run.errorLines[0].toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST(RenderHelp, DocumentsBothModes) {
    const RenderRun run = runRender({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--template", "--name", "--sex", "--age", "--photo", "--date", "-o", "--csv",
                               "--out-dir", ".png", "Exit status"})
        EXPECT_TRUE(run.out.contains(QString::fromLatin1(option))) << option;
}

TEST(RenderList, WritesOneCardPerRowAsTheWindowWould) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("cards.csv"));
    QFile::copy(kPhoto, dir.filePath(QStringLiteral("face.bmp")));
    // Columns in an unusual order and case, a BOM, CRLF line ends, a quoted
    // name holding a comma and a quote, a photo relative to the list's
    // folder, a row that leaves the file name to the default, blank lines.
    writeText(list,
              "\xEF\xBB\xBFTemplate,file,name,sex,age,photo,date\r\n"
              "2,first.bmp,\"张, \"\"三\"\"\",女,30,face.bmp,2025-01-09\r\n"
              "4,second.png,李四,保密,,,2024-12-31\r\n"
              "\r\n"
              "1,,王五,男,5,,2025-01-09\r\n"
              ",,,,,,\r\n");  // what spreadsheets write after the last row: skipped
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const RenderRun run = runRender({"--csv", list, "--out-dir", outDir});
    EXPECT_EQ(run.exitCode, 0) << run.errorLines.join('\n').toStdString();
    EXPECT_TRUE(run.errorLines.isEmpty()) << run.errorLines.join('\n').toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("3 of 3 cards written"))) << run.out.toStdString();

    EXPECT_TRUE(readAll(outDir + "/first.bmp") == windowCard(2, QStringLiteral("张, \"三\""), QStringLiteral("女"),
                                                             QStringLiteral("30"), dir.filePath("face.bmp"),
                                                             {2025, 1, 9}));
    EXPECT_TRUE(readAll(outDir + "/card-0003.bmp") ==
                windowCard(1, QStringLiteral("王五"), QStringLiteral("男"), QStringLiteral("5"), QString(), {2025, 1, 9}));
    EXPECT_TRUE(readAll(outDir + "/second.png").startsWith("\x89PNG"));
    // Nothing else is left behind (no temporary files).
    EXPECT_EQ(QDir(outDir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"card-0003.bmp", "first.bmp", "second.png"}));
}

TEST(RenderList, ReportsBadRowsByLineAndStillRendersTheRest) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("cards.csv"));
    const QString outDir = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(outDir);
    writeText(dir.filePath(QStringLiteral("broken.jpg")), "\xFF\xD8 not really");
    writeText(outDir + "/keep.bmp", "an older file that a failed row must not touch");
    writeText(list,
              "name,template,photo,file\n"
              "a,1,,a.bmp\n"                           // line 2: good
              "b,1,,b.bmp,surplus\n"                   // line 3: a field beyond the columns
              "c,0,,c.bmp\n"                           // line 4: template 0
              "\"multi\nline\",2,,d.bmp\n"             // lines 5-6: good, spans two lines
              "e,5,,e.bmp\n"                           // line 7: template 5
              "f,1,missing.jpg,f.bmp\n"                // line 8: photo that does not exist
              "g,1,broken.jpg,keep.bmp\n"              // line 9: photo that does not decode
              "h,3,,a.bmp\n"                           // line 10: output name used on line 2
              "i,x,,i.bmp\n");                         // line 11: template not a number
    const RenderRun run = runRender({"--csv", list, "--out-dir", outDir});
    EXPECT_EQ(run.exitCode, 1);
    const QStringList want = {
        list + ":3: unknown column",
        list + ":4: template \"0\" is not 1 to 4",
        list + ":7: template \"5\" is not 1 to 4",
        list + ":8: photo ",
        list + ":9: photo ",
        list + ":10: duplicate output name \"a.bmp\" (already used on line 2)",
        list + ":11: template \"x\" is not 1 to 4",
    };
    ASSERT_EQ(run.errorLines.size(), want.size()) << run.errorLines.join('\n').toStdString();
    for (int i = 0; i < want.size(); ++i)
        EXPECT_TRUE(run.errorLines[i].contains(want[i])) << "have " << run.errorLines[i].toStdString() << ", want "
                                                         << want[i].toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("2 of 9 cards written"))) << run.out.toStdString();
    EXPECT_EQ(QDir(outDir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"a.bmp", "d.bmp", "keep.bmp"}));
    EXPECT_EQ(readAll(outDir + "/keep.bmp"), QByteArray("an older file that a failed row must not touch"));
    // The duplicate did not overwrite the first card of that name (template 1, not 3).
    EXPECT_TRUE(readAll(outDir + "/a.bmp") == windowCard(1, QStringLiteral("a"), QStringLiteral("男"), QString(),
                                                         QString(), card::CardDate::today()));
}

TEST(RenderList, RefusesAListWhoseHeaderItCannotTrust) {
    struct Case {
        const char* what;
        QByteArray text;
        const char* message;
    };
    const Case cases[] = {
        {"misspelt column", "name,tempalte\na,2\n", ":1: unknown column \"tempalte\""},
        {"column named twice", "name,Name\na,b\n", ":1: column \"name\" is named twice"},
        {"empty list", "", ":1: the list is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("cards.csv"));
        writeText(list, c.text);
        const RenderRun run = runRender({"--csv", list, "--out-dir", dir.filePath("out")});
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join('\n').toStdString();
        EXPECT_TRUE(run.errorLines[0].contains(QString::fromUtf8(c.message))) << run.errorLines[0].toStdString();
        EXPECT_TRUE(QDir(dir.filePath("out")).isEmpty());
    }
}

TEST(RenderList, KeepsOutputInsideTheOutputFolder) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("cards.csv"));
    writeText(list, "name,file\na,../escape.bmp\nb,/tmp/abs.bmp\nc,..\n");
    const RenderRun run = runRender({"--csv", list, "--out-dir", dir.filePath("out")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errorLines.size(), 3);
    for (const QString& line : run.errorLines) EXPECT_TRUE(line.contains("is not a plain file name")) << line.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("escape.bmp")));
}

}  // namespace
