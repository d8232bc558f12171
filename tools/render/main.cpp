// tessivanev-render: makes the tool's cards without its window, one card from
// the command line or one card per row of a CSV list. Runs headless on Qt's
// offscreen platform, whatever display there is.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <map>
#include <malloc.h>
#include <optional>
#include <unistd.h>

#include "card_batch.h"
#include "card_job.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // a card (or a row of the list) could not be made
constexpr int kExitUsage = 2;   // the command line itself is wrong

const char kHelp[] = R"(Usage:
  tessivanev-render --template N --name TEXT --sex TEXT --age TEXT
                    [--photo PATH] [--date YYYY-MM-DD] -o FILE
  tessivanev-render --csv FILE --out-dir DIR
  tessivanev-render --help

Makes the same 400 x 280 card as the Tessivanev window, without a window.

One card:
  --template N       card design 1 to 4, in the order of the window's list:
                     1 灌水证(蓝色), 2 灌水证(紫色), 3 灌水证(绿色), 4 忽悠证
  --name TEXT        the name, written twice on the card (may be empty)
  --sex TEXT         one of 男, 女, 保密
  --age TEXT         the age, written as given (may be empty)
  --photo PATH       a BMP, JPEG, GIF, icon, cursor or PCX picture, squeezed
                     into the 60 x 65 photo frame; without it the carried
                     placeholder photo is used. A named photo must load.
  --date YYYY-MM-DD  the issue date written on the card (default: today)
  -o, --output FILE  where to write the card: a 24-bit BMP (336054 bytes),
                     or a PNG when FILE ends in .png

A list of cards:
  --csv FILE         a UTF-8 CSV list, one card per row. Its first line names
                     the columns, in any order, among:
                       name, age  the texts (default empty)
                       sex        男, 女 or 保密 (default 男)
                       template   1 to 4 (default 1)
                       photo      picture file, relative to the CSV's folder
                                  (default: the placeholder photo)
                       date       YYYY-MM-DD (default: today)
                       file       output name inside DIR, no "/"; .png gives
                                  PNG, anything else BMP (default:
                                  card-NNNN.bmp, NNNN the data row's number)
                     Fields may be quoted with "..." ("" for a quote inside).
  --out-dir DIR      folder for the cards (made when missing)
  A bad row (a field beyond the named columns, a template other than 1 to 4,
  a sex or date not as above, a photo that does not load, an output name used
  before) is reported as FILE:LINE: reason and skipped; the other rows are
  still made. An unknown or repeated column name in the first line stops
  the list before any card is made. On a terminal a progress bar is shown;
  a summary line ends the run.

Files are written atomically: each appears complete under its name or not
at all, and an existing file is replaced only by a complete new one. The
written cards are flushed to disk once, before the program ends.
Errors go to standard error, one line each.

Exit status: 0 when every card was written, 1 when a card or row failed,
2 when the command line is wrong.
)";

// Qt's own chatter (a missing XDG_RUNTIME_DIR, font fallbacks) is not this
// program's business on standard error, which carries only its error lines.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tessivanev-render: %s\n", message.toLocal8Bit().constData());
}

void printError(const QString& line) {
    std::fprintf(stderr, "tessivanev-render: %s\n", line.toLocal8Bit().constData());
}

// Shown on standard error while a list renders, when that is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    void show(int done, int total) {
        if (!enabled_ || total <= 0) return;
        const int width = 30;
        const int filled = done * width / total;
        if (filled == lastFilled_ && done != total && done - lastDone_ < 10) return;
        lastFilled_ = filled;
        lastDone_ = done;
        std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), '-').c_str(), done, total);
        std::fflush(stderr);
        visible_ = true;
    }
    void clear() {
        if (!visible_) return;
        std::fputs("\r\033[K", stderr);
        visible_ = false;
    }

private:
    bool enabled_;
    bool visible_ = false;
    int lastFilled_ = -1;
    int lastDone_ = 0;
};

struct Arguments {
    std::map<QString, QString> values;  // option name without dashes → value
    bool help = false;
};

// Splits "--name value", "--name=value" and "-o value". Returns the problem, if any.
QString parseArguments(const QStringList& args, Arguments& parsed) {
    static const QStringList kValueOptions = {QStringLiteral("template"), QStringLiteral("name"),
                                              QStringLiteral("sex"),      QStringLiteral("age"),
                                              QStringLiteral("photo"),    QStringLiteral("date"),
                                              QStringLiteral("output"),   QStringLiteral("csv"),
                                              QStringLiteral("out-dir")};
    for (int i = 1; i < args.size(); ++i) {
        QString arg = args[i];
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            parsed.help = true;
            continue;
        }
        QString name;
        std::optional<QString> value;
        if (arg == QStringLiteral("-o")) {
            name = QStringLiteral("output");
        } else if (arg.startsWith(QStringLiteral("--"))) {
            name = arg.mid(2);
            if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
            }
        } else {
            return QStringLiteral("unexpected argument \"%1\" (see --help)").arg(arg);
        }
        if (!kValueOptions.contains(name)) return QStringLiteral("unknown option \"%1\" (see --help)").arg(arg);
        if (!value) {
            if (i + 1 >= args.size()) return QStringLiteral("option \"%1\" needs a value").arg(arg);
            value = args[++i];
        }
        if (parsed.values.count(name)) return QStringLiteral("option --%1 is given twice").arg(name);
        parsed.values[name] = *value;
    }
    return {};
}

int renderOne(const Arguments& args) {
    const auto get = [&](const char* name) { return args.values.at(QString::fromLatin1(name)); };
    for (const char* required : {"template", "name", "sex", "age", "output"}) {
        if (!args.values.count(QString::fromLatin1(required))) {
            printError(QStringLiteral("missing --%1 (see --help)").arg(QString::fromLatin1(required)));
            return kExitUsage;
        }
    }
    render::CardJob job;
    const auto number = render::parseTemplateNumber(get("template"));
    if (!number) {
        printError(QStringLiteral("--template \"%1\" is not 1 to 4").arg(get("template")));
        return kExitUsage;
    }
    job.templateNumber = *number;
    job.sex = get("sex");
    if (!render::isSexItem(job.sex)) {
        printError(QStringLiteral("--sex \"%1\" is not one of %2").arg(job.sex, render::sexItemsText()));
        return kExitUsage;
    }
    job.date = card::CardDate::today();
    if (args.values.count(QStringLiteral("date"))) {
        const auto date = render::parseDate(get("date"));
        if (!date) {
            printError(QStringLiteral("--date \"%1\" is not a YYYY-MM-DD date").arg(get("date")));
            return kExitUsage;
        }
        job.date = *date;
    }
    job.name = get("name");
    job.age = get("age");
    if (args.values.count(QStringLiteral("photo"))) {
        if (const QString photo = card::trimPhotoPath(get("photo")); !photo.isEmpty())
            job.photoPath = QFileInfo(photo).absoluteFilePath();
    }
    job.outputPath = get("output");
    if (job.outputPath.isEmpty()) {
        printError(QStringLiteral("-o needs a file name"));
        return kExitUsage;
    }

    render::CardRenderer renderer;
    if (const QString problem = renderer.render(job); !problem.isEmpty()) {
        printError(problem);
        return kExitFailed;
    }
    render::syncFolder(QFileInfo(job.outputPath).absolutePath());
    return kExitOk;
}

int renderList(const Arguments& args) {
    if (!args.values.count(QStringLiteral("out-dir"))) {
        printError(QStringLiteral("--csv needs --out-dir (see --help)"));
        return kExitUsage;
    }
    for (const char* single : {"template", "name", "sex", "age", "photo", "date", "output"}) {
        if (args.values.count(QString::fromLatin1(single))) {
            printError(QStringLiteral("--%1 cannot be used with --csv (give it as a column)").arg(QString::fromLatin1(single)));
            return kExitUsage;
        }
    }
    const QString outDir = args.values.at(QStringLiteral("out-dir"));
    ProgressBar bar(isatty(STDERR_FILENO) != 0);
    render::BatchReport report;
    report.error = [&](const QString& line) {
        bar.clear();
        printError(line);
    };
    report.progress = [&](int done, int total) { bar.show(done, total); };
    const render::BatchResult result = render::renderBatch(args.values.at(QStringLiteral("csv")), outDir, report);
    bar.clear();
    if (result.unusable) return kExitFailed;
    render::syncFolder(outDir);
    std::printf("%d of %d cards written to %s; %d rows failed\n", result.written, result.rows,
                outDir.toLocal8Bit().constData(), result.rows - result.written);
    return result.allSucceeded() ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    // Headless whatever the environment says: the card is drawn off screen.
    // A card's pictures (template, canvas, BMP bytes) are a few hundred kB
    // each; keep freed blocks in the heap instead of mapping and faulting in
    // fresh pages for every card of a list.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtMessages);
    QGuiApplication app(argc, argv);

    Arguments args;
    if (const QString problem = parseArguments(QCoreApplication::arguments(), args); !problem.isEmpty()) {
        printError(problem);
        return kExitUsage;
    }
    if (args.help) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.values.count(QStringLiteral("csv"))) return renderList(args);
    if (args.values.empty()) {
        printError(QStringLiteral("nothing to do (see --help)"));
        return kExitUsage;
    }
    return renderOne(args);
}
