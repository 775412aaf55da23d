#include "ResourcePictures.h"
#include "ui/common/ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRawFont>
#include <QTest>

#include <cstdlib>

using ResourcePictures::kTwinSuffix;
using ResourcePictures::meanDifference;
using ResourcePictures::rootPictures;
using ResourcePictures::twinOf;

// The screens address every picture and the LCD font by resource path; a missing or mis-sized one leaves a hole in
// the window without any error.
class TestResources : public QObject {
    Q_OBJECT

private slots:
    void pictureSize_data();
    void pictureSize();
    void lcdFontCoversStatusTexts();
    void twinAtTwiceTheSize_data();
    void twinAtTwiceTheSize();
    void noTwinWithoutPicture();
    void programIconSizes();
};

void TestResources::pictureSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("BG_OTP") << QStringLiteral(":/BG_OTP.png") << QSize(275, 140);
    QTest::newRow("Token_rthread") << QStringLiteral(":/Token_rthread.png") << QSize(251, 117);
    QTest::newRow("CompLogo") << QStringLiteral(":/CompLogo.png") << QSize(32, 32);
    QTest::newRow("User_24") << QStringLiteral(":/User_24.png") << QSize(24, 24);
    QTest::newRow("Password_24") << QStringLiteral(":/Password_24.png") << QSize(24, 24);
    QTest::newRow("login") << QStringLiteral(":/login.png") << QSize(48, 24);
    for (const char* name : {"Tools", "logout", "update", "previous", "next"}) {
        QTest::newRow(name) << QStringLiteral(":/%1.png").arg(QLatin1String(name)) << QSize(32, 32);
    }
    for (const char* name : {"resource", "UserGroup_icon", "resource_user", "Close"}) {
        QTest::newRow(name) << QStringLiteral(":/%1.png").arg(QLatin1String(name)) << QSize(24, 24);
    }
    QTest::newRow("proxy_server") << QStringLiteral(":/proxy_server.png") << QSize(16, 16);
    QTest::newRow("Preference") << QStringLiteral(":/Preference.png") << QSize(16, 16);
    QTest::newRow("proxy_bg") << QStringLiteral(":/proxy_bg.png") << QSize(500, 181);
    for (const char* name : {"save_close", "save_close_over", "cancel", "cancel_over"}) {
        QTest::newRow(name) << QStringLiteral(":/%1.png").arg(QLatin1String(name)) << QSize(83, 26);
    }
    QTest::newRow("BG_Trans") << QStringLiteral(":/BG_Trans.png") << QSize(550, 200);
}

void TestResources::pictureSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QPixmap picture(path);
    QVERIFY2(!picture.isNull(), qPrintable(path));
    QCOMPARE(picture.size(), size);
}

void TestResources::lcdFontCoversStatusTexts()
{
    QFile file(QStringLiteral(":/polices/digital-7.ttf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const int id = QFontDatabase::addApplicationFontFromData(data);
    QVERIFY(id >= 0);
    QVERIFY(QFontDatabase::applicationFontFamilies(id).contains(QStringLiteral("Digital-7")));
    const QRawFont font(data, 14);
    QVERIFY(font.isValid());
    for (char32_t c = 0x21; c <= 0x7E; ++c) {
        QVERIFY2(font.supportsCharacter(c), qPrintable(QString::number(uint(c), 16)));
    }
    QVERIFY(font.supportsCharacter(char32_t(0x00BB)));
}

// On a screen of device pixel ratio 2 Qt loads name@2x.png in place of name.png by itself, for icons and style-sheet
// images alike; a picture without its twin is scaled up there and looks blurred.
void TestResources::twinAtTwiceTheSize_data()
{
    QTest::addColumn<QString>("name");
    const QStringList names = rootPictures(false);
    QVERIFY(names.size() >= 23);
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestResources::twinAtTwiceTheSize()
{
    QFETCH(QString, name);
    const QImage picture(QStringLiteral(":/") + name);
    const QImage twin(QStringLiteral(":/") + twinOf(name));
    QVERIFY(!picture.isNull());
    QVERIFY2(!twin.isNull(), qPrintable(twinOf(name)));
    QCOMPARE(twin.size(), picture.size() * 2);
    // The twin is the same picture: brought down to the picture's size it is nearer to it than to any other picture
    // of that size (the small glyphs differ most, since their 1x edges are the softest).
    const QImage reduced = twin.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                               .scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double own = meanDifference(reduced, picture);
    QVERIFY2(own < 16.0, qPrintable(QString::number(own)));
    for (const QString& other : rootPictures(false)) {
        const QImage otherPicture(QStringLiteral(":/") + other);
        if (other != name && otherPicture.size() == picture.size()) {
            QVERIFY2(own < meanDifference(reduced, otherPicture), qPrintable(other));
        }
    }
}

void TestResources::noTwinWithoutPicture()
{
    const QStringList pictures = rootPictures(false);
    for (const QString& twin : rootPictures(true)) {
        QVERIFY2(pictures.contains(twin.chopped(kTwinSuffix.size()) + QStringLiteral(".png")), qPrintable(twin));
    }
}

// The window and tray icon holds one picture per size, the same set that is installed in the hicolor theme.
void TestResources::programIconSizes()
{
    const QIcon icon = ProgramIcon::icon();
    QList<QSize> expected;
    for (int size : ProgramIcon::sizes()) {
        const QImage picture(ProgramIcon::path(size));
        QVERIFY2(!picture.isNull(), qPrintable(ProgramIcon::path(size)));
        QCOMPARE(picture.size(), QSize(size, size));
        QVERIFY(QFile::exists(
            QStringLiteral(VELTRANE_SOURCE_DIR "/resources/icons/hicolor/%1x%1/apps/veltrane-auth.png").arg(size)));
        expected.append(QSize(size, size));
    }
    QCOMPARE(icon.availableSizes(), expected);
    QCOMPARE(QDir(QStringLiteral(VELTRANE_SOURCE_DIR "/resources/icons/hicolor"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                 .size(),
             expected.size());
    // A tray of 16 px gets the picture drawn for 16 px.
    QCOMPARE(icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(ProgramIcon::path(16)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
