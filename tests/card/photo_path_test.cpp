// The photo path as typed: trimming, and the directory-search test that
// decides between the named file and the default photo.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "card/card_composer.h"

namespace {

TEST(TrimPhotoPath, RemovesOnlyAsciiAndFullWidthSpacesAtTheEnds) {
    struct Case {
        QString given, want;
    };
    const Case cases[] = {
        {"  a b\u3000", "a b"},          // inner space stays
        {"\u3000 a\u3000 \u3000", "a"},  // mixed runs at both ends
        {" a\t", "a\t"},                 // a tab is part of the name
        {"\ta ", "\ta"},
        {"a\n ", "a\n"},
        {"\u00A0a\u2003", "\u00A0a\u2003"},  // other white space stays
        {"   ", ""},
        {"\u3000", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(card::trimPhotoPath(c.given), c.want) << "given \"" << c.given.toStdString() << "\"";
}

class PhotoPathExists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        for (const char* name : {"photo.bmp", "a[1].bmp", "b1.bmp", "名字 照片.jpg", ".hidden"}) touch(name);
        ASSERT_TRUE(QDir().mkdir("sub"));
        touch("sub/inner.gif");
        ASSERT_TRUE(QDir().mkdir("empty"));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    static void touch(const QString& name) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    QTemporaryDir dir_;
    QString previous_;
};

TEST_F(PhotoPathExists, FindsFilesFoldersAndMatchingPatterns) {
    struct Case {
        const char* name;
        QString path;
        bool want;
    };
    const Case cases[] = {
        {"empty text", "", false},
        {"relative file", "photo.bmp", true},
        {"file in a folder", "sub/inner.gif", true},
        {"folder", "sub", true},
        {"folder with a trailing slash", "sub/", true},
        {"nothing there", "missing.bmp", false},
        {"star", "pho*.bmp", true},
        {"star alone", "*", true},
        {"star matches nothing extra", "*.png", false},
        {"question mark is one character", "p?oto.bmp", true},
        {"question mark needs a character", "photo.bmp?", false},
        {"star in a folder", "sub/*", true},
        {"star in an empty folder", "empty/*", false},
        {"hidden entries are entries", ".hid*", true},
        {"bracket matches itself", "a[1].bmp", true},
        {"bracket is no character class", "b[1].bmp", false},
        {"bracket with a star", "a[1]*", true},
        {"wildcard in the folder part", "su*/inner.gif", false},
        {"trailing tab names nothing", "photo.bmp\t", false},
        {"case matters on this file system", "PHOTO.BMP", false},
        {"Chinese name with a space", "名字 照片.jpg", true},
        {"Chinese pattern", "名字*", true},
    };
    for (const Case& c : cases) EXPECT_EQ(card::photoPathExists(c.path), c.want) << c.name;
    EXPECT_TRUE(card::photoPathExists(dir_.filePath("photo.bmp"))) << "absolute path";
    EXPECT_TRUE(card::photoPathExists(dir_.path() + "/p*")) << "absolute pattern";
}

}  // namespace
