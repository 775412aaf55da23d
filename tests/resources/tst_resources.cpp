#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPixmap>
#include <QRawFont>
#include <QTest>

// The screens address every picture and the LCD font by resource path; a missing or mis-sized one leaves a hole in
// the window without any error.
class TestResources : public QObject {
    Q_OBJECT

private slots:
    void pictureSize_data();
    void pictureSize();
    void lcdFontCoversStatusTexts();
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

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
