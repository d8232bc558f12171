// The browse and make buttons: what they ask the chooser for, what they do
// with its answer, and how the card reaches the disk (whole, or not at all).
#include "files/card_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "card/surface.h"
#include "files/error_box.h"
#include "files/write_file.h"
#include "modal_script.h"

namespace {

using files::ChooserRequest;
using files::CommonDlg;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCardSize = 336054;

// Stands in for the exported card: the right size, no two neighbouring
// bytes alike, so a shifted, cut or doubled write shows.
Bytes fakeCard(std::uint8_t seed = 0) {
    Bytes bytes(kCardSize);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + seed);
    bytes[0] = 'B';
    bytes[1] = 'M';
    return bytes;
}

Bytes readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
}

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class CardFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        savedFolder_ = QDir::currentPath();
        CommonDlg::setChooser([this](const ChooserRequest& request) -> std::optional<QString> {
            requests.push_back(request);
            return answer;
        });
        files::setErrorBox([this](const files::ErrorMessage& message) { errors.push_back(message); });
        dialog = new CommonDlg(&window);
        window.setWindowTitle(QStringLiteral("Tessivanev1.0"));
    }
    void TearDown() override {
        CommonDlg::resetChooser();
        files::resetErrorBox();
        QDir::setCurrent(savedFolder_);
    }
    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }

    QApplication& app = files_test::testApp();  // before any widget
    QTemporaryDir folder;
    QWidget window;
    CommonDlg* dialog = nullptr;
    std::optional<QString> answer;
    std::vector<ChooserRequest> requests;
    std::vector<files::ErrorMessage> errors;

private:
    QString savedFolder_;
};

TEST_F(CardFilesTest, BrowsePassesTheChosenPathOnceAndNothingOnCancel) {
    int calls = 0;
    QString received;
    const auto setPhotoPath = [&](const QString& path) {
        ++calls;
        received = path;
    };
    dialog->setFileName(QStringLiteral("/earlier/card.bmp"));

    answer = std::nullopt;
    EXPECT_FALSE(files::onBrowseClicked(*dialog, setPhotoPath));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(dialog->fileName(), QStringLiteral("/earlier/card.bmp"));

    answer = inFolder(QStringLiteral("photo.jpg"));
    EXPECT_TRUE(files::onBrowseClicked(*dialog, setPhotoPath));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(received, inFolder(QStringLiteral("photo.jpg")));

    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, files::DialogKind::Open);
    EXPECT_EQ(requests[0].nameFilters,
              QStringList({QStringLiteral("图片文件(*.bmp;*.jpg;*.gif) (*.bmp *.jpg *.gif)")}));
    EXPECT_TRUE(requests[0].fileMustExist);
    EXPECT_EQ(requests[0].initialFileName, QStringLiteral("/earlier/card.bmp"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(CardFilesTest, SaveWritesExactlyTheCardBytesOverAnyOldFile) {
    const QString path = inFolder(QStringLiteral("card.bmp"));
    writeText(path, QByteArray(kCardSize * 2, 'x'));  // longer than the card: nothing of it may remain
    const Bytes card = fakeCard();
    answer = path;

    files::onMakeClicked(*dialog, [&] { return card; });
    EXPECT_EQ(readAll(path), card);
    files::onMakeClicked(*dialog, [&] { return card; });  // again, nothing changed
    EXPECT_EQ(readAll(path), card);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({QStringLiteral("card.bmp")}));
    EXPECT_TRUE(errors.empty());

    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, files::DialogKind::Save);
    EXPECT_EQ(requests[0].defaultExtension, QStringLiteral("bmp"));
    EXPECT_EQ(requests[0].nameFilters, QStringList({QStringLiteral("图片文件(*.bmp) (*.bmp)")}));
    EXPECT_TRUE(requests[0].promptToOverwrite);
    EXPECT_EQ(requests[0].owner, &window);
}

TEST_F(CardFilesTest, SavesTheExportedCardAsIs) {
    card::Surface canvas(400, 280, card::DrawingState::cardCanvas());
    canvas.drawRectangle(10, 10, 100, 60);
    const Bytes exported = canvas.getPicture();
    ASSERT_EQ(exported.size(), kCardSize);
    answer = inFolder(QStringLiteral("card"));  // as the chooser hands it over: no extension added here
    files::onMakeClicked(*dialog, [&] { return canvas.getPicture(); });
    EXPECT_EQ(readAll(inFolder(QStringLiteral("card"))), exported);
    EXPECT_TRUE(errors.empty());
}

TEST_F(CardFilesTest, HandlersShareTheLastPathAndTheBmpExtension) {
    // After browsing, the save chooser opens on the photo; after saving, the
    // browse chooser opens on the card and also adds .bmp to bare names.
    answer = inFolder(QStringLiteral("photo.jpg"));
    files::onBrowseClicked(*dialog, {});
    answer = inFolder(QStringLiteral("photo.jpg"));
    files::onMakeClicked(*dialog, [] { return fakeCard(); });
    answer = std::nullopt;
    files::onBrowseClicked(*dialog, {});

    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].initialFileName, inFolder(QStringLiteral("photo.jpg")));
    EXPECT_EQ(requests[2].initialFileName, inFolder(QStringLiteral("photo.jpg")));
    EXPECT_EQ(requests[2].defaultExtension, QStringLiteral("bmp"));
    // A name with another extension keeps it and still holds BMP bytes.
    EXPECT_EQ(readAll(inFolder(QStringLiteral("photo.jpg"))), fakeCard());
}

TEST_F(CardFilesTest, NothingToExportShowsAnErrorAndTouchesNoFile) {
    const QString existing = inFolder(QStringLiteral("keep.bmp"));
    writeText(existing, "old card");
    for (const QString& path : {existing, inFolder(QStringLiteral("new.bmp"))}) {
        answer = path;
        files::onMakeClicked(*dialog, [] { return Bytes{}; });
    }
    EXPECT_EQ(readAll(existing), Bytes({'o', 'l', 'd', ' ', 'c', 'a', 'r', 'd'}));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({QStringLiteral("keep.bmp")}));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_TRUE(errors[0].text.contains(existing)) << errors[0].text.toStdString();
    EXPECT_EQ(errors[0].owner, &window);
}

// Raises the file size limit back when the test ends, whatever happens.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

// Each way a save can fail, even for root: the old file stays exactly as it
// was, no temporary file is left behind, and the box names file and reason.
TEST_F(CardFilesTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    const QString old = inFolder(QStringLiteral("card.bmp"));
    const QByteArray oldBytes = "the card saved yesterday";
    writeText(old, oldBytes);
    writeText(inFolder(QStringLiteral("afile")), "not a folder");
    const QStringList before = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);

    const struct {
        const char* why;
        QString path;
        bool limitSize;
    } rows[] = {
        {"the folder is a file", inFolder(QStringLiteral("afile/card.bmp")), false},
        // 90 characters: 180 bytes as the tool counts, 270 on this file system.
        {"a name too long for the file system", inFolder(QStringLiteral("证").repeated(90) + ".bmp"), false},
        {"the disk refuses the bytes half way", old, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        errors.clear();
        answer = row.path;
        {
            std::optional<FileSizeLimit> limit;
            if (row.limitSize)
                limit.emplace(4096);
            files::onMakeClicked(*dialog, [] { return fakeCard(); });
        }
        EXPECT_EQ(readAll(old), Bytes(oldBytes.begin(), oldBytes.end()));
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), before);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].text.contains(QFileInfo(row.path).fileName())) << errors[0].text.toStdString();
        EXPECT_FALSE(errors[0].text.section(QLatin1Char('\n'), 1).trimmed().isEmpty())
            << "no reason given: " << errors[0].text.toStdString();
        EXPECT_EQ(errors[0].owner, &window);
        EXPECT_EQ(errors[0].title, QStringLiteral("Tessivanev1.0"));
    }
}

TEST(WriteFile, WritesThePartsInOrderAndRefusesAnEmptyPath) {
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("parts.bin"));
    const Bytes a{1, 2, 3};
    const Bytes none;
    const Bytes b{4, 5};
    EXPECT_TRUE(files::writeFile(path, {a, none, b}).ok);
    EXPECT_EQ(readAll(path), Bytes({1, 2, 3, 4, 5}));

    const files::WriteResult empty = files::writeFile(QString(), {a});
    EXPECT_FALSE(empty.ok);
    EXPECT_FALSE(empty.reason.isEmpty());
}

}  // namespace
