#include "ui/token/CodeClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QTimer>

// The copied code's life on the clipboard: marked secret, taken back after its lifetime or at quitting, and only
// while the clipboard still holds it.
class TestCodeClipboard : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QGuiApplication::clipboard()->clear(); }

    void copyIsMarkedSecret();
    void takenBack_data();
    void takenBack();
    void emptyCodeCopiesNothing();
};

void TestCodeClipboard::copyIsMarkedSecret()
{
    CodeClipboard clipboard;
    clipboard.copy(QStringLiteral("042517"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), QStringLiteral("042517"));
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArrayLiteral("secret"));
    auto* timer = clipboard.findChild<QTimer*>(QStringLiteral("clipboardTimer"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 30000);
}

void TestCodeClipboard::takenBack_data()
{
    QTest::addColumn<bool>("byQuitting");
    QTest::addColumn<QString>("copiedSince");
    QTest::addColumn<QString>("left");
    QTest::newRow("lifetime over: cleared") << false << QString() << QString();
    QTest::newRow("quitting: cleared") << true << QString() << QString();
    QTest::newRow("lifetime over, the user copied since: stays")
        << false << QStringLiteral("mine") << QStringLiteral("mine");
    QTest::newRow("quitting, the user copied since: stays") << true << QStringLiteral("mine") << QStringLiteral("mine");
}

void TestCodeClipboard::takenBack()
{
    QFETCH(bool, byQuitting);
    QFETCH(QString, copiedSince);
    QFETCH(QString, left);
    CodeClipboard clipboard;
    clipboard.copy(QStringLiteral("042517"));
    if (!copiedSince.isEmpty()) {
        QGuiApplication::clipboard()->setText(copiedSince);
    }
    if (byQuitting) {
        QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    } else {
        QVERIFY(QMetaObject::invokeMethod(clipboard.findChild<QTimer*>(QStringLiteral("clipboardTimer")), "timeout"));
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), left);

    // The code is forgotten with it: the same text copied by the user later is never taken.
    QGuiApplication::clipboard()->setText(QStringLiteral("042517"));
    clipboard.clear();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("042517"));
}

void TestCodeClipboard::emptyCodeCopiesNothing()
{
    CodeClipboard clipboard;
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    clipboard.copy(QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    QVERIFY(!clipboard.findChild<QTimer*>(QStringLiteral("clipboardTimer"))->isActive());
}

QTEST_MAIN(TestCodeClipboard)
#include "tst_codeclipboard.moc"
