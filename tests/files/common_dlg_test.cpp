// The file-chooser control: its settings, the file-type list, the stored
// length of names, and what one opening hands to the chooser and keeps.
#include "files/common_dlg.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include "files/error_box.h"
#include "modal_script.h"

namespace {

using files::ChooserRequest;
using files::CommonDlg;
using files::DialogKind;

// A chooser that records every request and answers from a list.
struct ScriptedChooser {
    std::vector<ChooserRequest> requests;
    std::vector<std::optional<QString>> answers;

    void install() {
        CommonDlg::setChooser([this](const ChooserRequest& request) -> std::optional<QString> {
            requests.push_back(request);
            if (requests.size() > answers.size())
                return std::nullopt;
            return answers[requests.size() - 1];
        });
    }
};

class CommonDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedFolder_ = QDir::currentPath();
        files::setErrorBox([this](const files::ErrorMessage& message) { errors.push_back(message.text); });
    }
    void TearDown() override {
        CommonDlg::resetChooser();
        files::resetErrorBox();
        QDir::setCurrent(savedFolder_);
    }

    QApplication& app = files_test::testApp();  // before any widget, here or in a derived fixture
    std::vector<QString> errors;

private:
    QString savedFolder_;
};

TEST_F(CommonDlgTest, StartsWithStoredSettingsAndClampsKindAndIndex) {
    CommonDlg dialog;
    EXPECT_EQ(dialog.dialogKind(), 0);
    EXPECT_EQ(dialog.title(), QString());
    EXPECT_EQ(dialog.fileName(), QString());
    EXPECT_EQ(dialog.filter(), QStringLiteral("图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif"));
    EXPECT_EQ(dialog.filterIndex(), 0);
    EXPECT_EQ(dialog.initialFolder(), QString());
    EXPECT_EQ(dialog.defaultExtension(), QString());
    EXPECT_FALSE(dialog.promptToCreate());
    EXPECT_TRUE(dialog.fileMustExist());
    EXPECT_TRUE(dialog.promptToOverwrite());
    EXPECT_TRUE(dialog.pathMustExist());
    EXPECT_FALSE(dialog.keepCurrentFolder());

    const struct { int set, want; } kinds[] = {{-5, 0}, {1, 1}, {3, 3}, {4, 3}, {1000, 3}};
    for (const auto& row : kinds) {
        dialog.setDialogKind(row.set);
        EXPECT_EQ(dialog.dialogKind(), row.want) << "dialogKind set to " << row.set;
    }
    const struct { int set, want; } indexes[] = {{-1, 0}, {-100, 0}, {2, 2}, {99, 99}};
    for (const auto& row : indexes) {
        dialog.setFilterIndex(row.set);
        EXPECT_EQ(dialog.filterIndex(), row.want) << "filterIndex set to " << row.set;
    }
}

TEST_F(CommonDlgTest, NeverShowsAndTakesNoRoom) {
    QWidget window;
    auto* dialog = new CommonDlg(&window);
    dialog->setGeometry(240, 8, 24, 24);
    window.show();
    dialog->show();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->ownerWindow(), &window);
    EXPECT_EQ(CommonDlg().ownerWindow(), nullptr);
}

TEST_F(CommonDlgTest, CarriesSettingsFromOneOpeningToTheNext) {
    ScriptedChooser chooser;
    chooser.answers = {QStringLiteral("/tmp/first.bmp"), std::nullopt, QStringLiteral("/tmp/second.gif")};
    chooser.install();

    QWidget window;
    auto* dialog = new CommonDlg(&window);
    dialog->setDialogKind(1);
    dialog->setTitle(QStringLiteral("保存"));
    dialog->setFilter(QStringLiteral("A|*.a|B|*.b"));
    dialog->setFilterIndex(1);
    dialog->setInitialFolder(QStringLiteral("/tmp"));
    dialog->setDefaultExtension(QStringLiteral("bmp"));
    dialog->setPromptToCreate(true);
    dialog->setFileMustExist(false);
    dialog->setPromptToOverwrite(false);
    dialog->setPathMustExist(false);
    dialog->setFileName(QStringLiteral("start.bmp"));

    EXPECT_TRUE(dialog->openDialog());
    EXPECT_EQ(dialog->fileName(), QStringLiteral("/tmp/first.bmp"));
    EXPECT_FALSE(dialog->openDialog());  // cancelled
    EXPECT_EQ(dialog->fileName(), QStringLiteral("/tmp/first.bmp"));
    EXPECT_TRUE(dialog->openDialog());
    EXPECT_EQ(dialog->fileName(), QStringLiteral("/tmp/second.gif"));

    ASSERT_EQ(chooser.requests.size(), 3u);
    const QString shownNames[] = {QStringLiteral("start.bmp"), QStringLiteral("/tmp/first.bmp"),
                                  QStringLiteral("/tmp/first.bmp")};
    for (std::size_t i = 0; i < 3; ++i) {
        const ChooserRequest& request = chooser.requests[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(request.kind, DialogKind::Save);
        EXPECT_EQ(request.title, QStringLiteral("保存"));
        EXPECT_EQ(request.initialFileName, shownNames[i]);
        EXPECT_EQ(request.initialFolder, QStringLiteral("/tmp"));
        EXPECT_EQ(request.defaultExtension, QStringLiteral("bmp"));
        EXPECT_EQ(request.nameFilters, QStringList({QStringLiteral("A (*.a)"), QStringLiteral("B (*.b)")}));
        EXPECT_EQ(request.selectedFilter, 1);
        EXPECT_TRUE(request.promptToCreate);
        EXPECT_FALSE(request.fileMustExist);
        EXPECT_FALSE(request.promptToOverwrite);
        EXPECT_FALSE(request.pathMustExist);
        EXPECT_EQ(request.owner, &window);
    }
}

TEST_F(CommonDlgTest, FontAndHelpKindsOpenNothing) {
    ScriptedChooser chooser;
    chooser.answers = {QStringLiteral("/tmp/x.bmp"), QStringLiteral("/tmp/x.bmp")};
    chooser.install();
    CommonDlg dialog;
    for (int kind : {2, 3}) {
        dialog.setDialogKind(kind);
        EXPECT_FALSE(dialog.openDialog()) << kind;
    }
    EXPECT_TRUE(chooser.requests.empty());
    EXPECT_EQ(dialog.fileName(), QString());
}

TEST(ParseFilter, ListsPairsInOrderAndSelectsByIndex) {
    const QString pictures = QStringLiteral("图片文件(*.bmp;*.jpg;*.gif) (*.bmp *.jpg *.gif)");
    const struct {
        const char* why;
        QString filter;
        int index;
        QStringList want;
        int selected;
    } rows[] = {
        {"the tool's own filter", QStringLiteral("图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif"), 0, {pictures}, 0},
        {"trailing white space removed", QStringLiteral("A|*.a \t\r\n"), 0, {QStringLiteral("A (*.a)")}, 0},
        {"already ending in ||", QStringLiteral("A|*.a||"), 0, {QStringLiteral("A (*.a)")}, 0},
        {"empty: no type list", QString(), 3, {}, -1},
        {"only white space: no type list", QStringLiteral("  \t"), 0, {}, -1},
        {"second pair selected", QStringLiteral("A|*.a|B|*.b;*.c"), 1,
         {QStringLiteral("A (*.a)"), QStringLiteral("B (*.b *.c)")}, 1},
        {"index beyond the list selects the first", QStringLiteral("A|*.a|B|*.b"), 2,
         {QStringLiteral("A (*.a)"), QStringLiteral("B (*.b)")}, 0},
        {"odd part count: a description without patterns is not listed", QStringLiteral("A|*.a|B"), 1,
         {QStringLiteral("A (*.a)")}, 0},
        {"|| in the middle ends the list", QStringLiteral("A|*.a||B|*.b"), 0, {QStringLiteral("A (*.a)")}, 0},
        {"no description: nothing listed", QStringLiteral("|*.a"), 0, {}, -1},
        {"blanks and empty patterns dropped", QStringLiteral("A| *.a ;; *.b"), 0, {QStringLiteral("A (*.a *.b)")}, 0},
    };
    for (const auto& row : rows) {
        const files::NameFilterList got = files::parseFilter(row.filter, row.index);
        EXPECT_EQ(got.nameFilters, row.want) << row.why << ": have " << got.nameFilters.join(" / ").toStdString();
        EXPECT_EQ(got.selected, row.selected) << row.why;
    }
}

TEST(StoredLength, CutsAtTheByteLimitNeverInsideACharacter) {
    const QString ascii300(300, QLatin1Char('a'));
    const QString chinese = QStringLiteral("证").repeated(200);          // 2 bytes each
    const QString mixed = QString(258, QLatin1Char('a')) + QStringLiteral("证x");  // 258 + 2 + 1
    const QString emoji = QString(257, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600");  // a pair
    const struct {
        const char* why;
        QString text;
        QString want;
    } rows[] = {
        {"ASCII: first 259", ascii300, ascii300.left(259)},
        {"Chinese: 129 characters, 258 bytes", chinese, chinese.left(129)},
        {"a character that would straddle the limit is dropped", mixed, mixed.left(258)},
        {"a surrogate pair fits whole or not at all", emoji, emoji},
        {"short text untouched", QStringLiteral("照片.bmp"), QStringLiteral("照片.bmp")},
    };
    for (const auto& row : rows) {
        const QString got = files::cutToStoredLength(row.text, files::kMaxPathBytes);
        EXPECT_EQ(got, row.want) << row.why << ": have " << got.size() << " units, want " << row.want.size();
        EXPECT_LE(files::storedLength(got), files::kMaxPathBytes) << row.why;
    }
    EXPECT_EQ(files::cutToStoredLength(emoji, 258), emoji.left(257));
    EXPECT_EQ(files::storedLength(QStringLiteral("a证")), 3);
}

TEST_F(CommonDlgTest, PassesTheCutNameAndRefusesTooLongChoices) {
    const QString longName = QStringLiteral("/tmp/") + QStringLiteral("名").repeated(127) + QStringLiteral(".bmp");
    ASSERT_EQ(files::storedLength(longName), 5 + 254 + 4);
    ScriptedChooser chooser;
    chooser.answers = {longName, QStringLiteral("/tmp/") + QString(254, QLatin1Char('n'))};
    chooser.install();

    CommonDlg dialog;
    dialog.setFileName(longName);
    EXPECT_FALSE(dialog.openDialog());
    EXPECT_EQ(chooser.requests.at(0).initialFileName, longName.left(5 + 127));
    EXPECT_EQ(dialog.fileName(), longName);  // kept as set, not replaced by the refused choice
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("太长"))) << errors[0].toStdString();

    EXPECT_TRUE(dialog.openDialog());  // exactly 259 bytes is allowed
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(CommonDlgTest, LeavesTheCurrentFolderAtTheChosenFileUnlessKept) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("chosen")));
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("wandered")));
    const QString chosenFolder = QDir(root.path()).canonicalPath() + QStringLiteral("/chosen");
    const QString wandered = root.path() + QStringLiteral("/wandered");
    // This chooser, like some platforms' choosers, moves the current folder while browsing.
    CommonDlg::setChooser([&](const ChooserRequest&) -> std::optional<QString> {
        QDir::setCurrent(wandered);
        return chosenFolder + QStringLiteral("/card.bmp");
    });

    ASSERT_TRUE(QDir::setCurrent(root.path()));
    CommonDlg dialog;
    ASSERT_TRUE(dialog.openDialog());
    EXPECT_EQ(QDir::current().canonicalPath(), chosenFolder);

    ASSERT_TRUE(QDir::setCurrent(root.path()));
    dialog.setKeepCurrentFolder(true);
    ASSERT_TRUE(dialog.openDialog());
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(root.path()).canonicalPath());
}

// The real chooser, played through its widgets.
class RealChooserTest : public CommonDlgTest {
protected:
    void SetUp() override {
        CommonDlgTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        dialog.setDialogKind(1);
        dialog.setFilter(QStringLiteral("图片文件(*.bmp)|*.bmp"));
        dialog.setDefaultExtension(QStringLiteral("bmp"));
        dialog.setInitialFolder(folder.path());
    }
    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }

    QTemporaryDir folder;
    CommonDlg dialog;
    files_test::ModalScript script;
};

TEST_F(RealChooserTest, AddsTheDefaultExtensionOnlyToNamesWithoutOne) {
    // The process's current folder holds a folder named like the typed
    // name; that must not stop the extension in the chooser's own folder.
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir(elsewhere.path()).mkpath(QStringLiteral("card")));
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const struct {
        QString typed, want;
    } rows[] = {{QStringLiteral("card"), QStringLiteral("card.bmp")},
                {QStringLiteral("card.jpg"), QStringLiteral("card.jpg")},
                {QStringLiteral("证件"), QStringLiteral("证件.bmp")}};
    for (const auto& row : rows) {
        files_test::ModalScript typing;
        typing.onFileDialog([&](QFileDialog& d) { files_test::typeAndAccept(d, row.typed); });
        typing.start();
        ASSERT_TRUE(dialog.openDialog()) << row.typed.toStdString();
        EXPECT_EQ(dialog.fileName(), inFolder(row.want));
        EXPECT_TRUE(typing.finished());
        dialog.setFileName(QString());
        ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    }
}

TEST_F(RealChooserTest, HonoursOverwriteAndFolderChecks) {
    QFile existing(inFolder(QStringLiteral("old.bmp")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    // Replacing asks first: "No" keeps the chooser open, "Yes" accepts.
    QString question;
    script.onFileDialog([](QFileDialog& d) { files_test::typeAndAccept(d, QStringLiteral("old")); });
    script.onMessageBox(QMessageBox::No, &question);
    script.onFileDialog([](QFileDialog& d) { static_cast<QDialog&>(d).accept(); });
    script.onMessageBox(QMessageBox::Yes);
    script.start();
    EXPECT_TRUE(dialog.openDialog());
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(dialog.fileName(), inFolder(QStringLiteral("old.bmp")));
    EXPECT_TRUE(question.contains(QStringLiteral("old.bmp"))) << question.toStdString();

    // A name in a folder that does not exist is refused; cancelling then
    // keeps the last name.
    files_test::ModalScript missing;
    QString refusal;
    missing.onFileDialog([](QFileDialog& d) { files_test::typeAndAccept(d, QStringLiteral("nowhere/card")); });
    missing.onMessageBox(QMessageBox::Ok, &refusal);
    missing.onFileDialog([](QFileDialog& d) { d.reject(); });
    missing.start();
    EXPECT_FALSE(dialog.openDialog());
    EXPECT_TRUE(missing.finished());
    EXPECT_TRUE(refusal.contains(QStringLiteral("nowhere"))) << refusal.toStdString();
    EXPECT_EQ(dialog.fileName(), inFolder(QStringLiteral("old.bmp")));

    // promptToCreate asks before taking a name that does not exist yet.
    dialog.setPromptToCreate(true);
    files_test::ModalScript create;
    QString createQuestion;
    create.onFileDialog([](QFileDialog& d) { files_test::typeAndAccept(d, QStringLiteral("fresh")); });
    create.onMessageBox(QMessageBox::No, &createQuestion);
    create.onFileDialog([](QFileDialog& d) { d.reject(); });
    create.start();
    EXPECT_FALSE(dialog.openDialog());
    EXPECT_TRUE(create.finished());
    EXPECT_TRUE(createQuestion.contains(QStringLiteral("fresh.bmp"))) << createQuestion.toStdString();
    dialog.setPromptToCreate(false);

    // Without promptToOverwrite an existing name is taken at once.
    dialog.setPromptToOverwrite(false);
    files_test::ModalScript quiet;
    quiet.onFileDialog([](QFileDialog& d) { files_test::typeAndAccept(d, QStringLiteral("old.bmp")); });
    quiet.start();
    EXPECT_TRUE(dialog.openDialog());
    EXPECT_TRUE(quiet.finished());
}

TEST_F(RealChooserTest, OpenKindRefusesAMissingFileAndOpensOnTheLastName) {
    QFile photo(inFolder(QStringLiteral("photo.gif")));
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    photo.close();
    dialog.setDialogKind(0);
    dialog.setFilter(QStringLiteral("图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif"));
    dialog.setFileName(inFolder(QStringLiteral("photo.gif")));

    QString shownName;
    QStringList shownTypes;
    script.onFileDialog([&](QFileDialog& d) {
        shownName = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        shownTypes = d.nameFilters();
        files_test::typeAndAccept(d, QStringLiteral("absent.gif"));
    });
    script.onMessageBox(QMessageBox::Ok);
    script.onFileDialog([](QFileDialog& d) { files_test::typeAndAccept(d, QStringLiteral("photo.gif")); });
    script.start();
    EXPECT_TRUE(dialog.openDialog());
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(shownName, QStringLiteral("photo.gif"));
    EXPECT_EQ(shownTypes, QStringList({QStringLiteral("图片文件(*.bmp;*.jpg;*.gif) (*.bmp *.jpg *.gif)")}));
    EXPECT_EQ(dialog.fileName(), inFolder(QStringLiteral("photo.gif")));
}

}  // namespace
