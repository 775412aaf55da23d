#include "app/ActivityLog.h"

#include "support/MockClock.h"
#include "support/TestHome.h"

#include <QFile>
#include <QTest>

// The log's bytes are read by administrators' tools: the layout must hold to the byte.
class TestActivityLog : public QObject {
    Q_OBJECT

private slots:
    void entryBytes_data();
    void entryBytes();
    void missingDirectoryLosesEntrySilently();
};

void TestActivityLog::entryBytes_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one entry creates the file") << QStringList{QStringLiteral("Veltrane Auth1.0.7")}
                                                << QByteArray("\n03/07/2016 <-> 14:05:09 <-> Veltrane Auth1.0.7\r\n");
    QTest::newRow("two entries") << QStringList{QStringLiteral("Proxy Configured:"),
                                                QStringLiteral("Sync Server Decrypted Response  Start!")}
                                 << QByteArray(
                                        "\n03/07/2016 <-> 14:05:09 <-> Proxy Configured:\r\n"
                                        "\n03/07/2016 <-> 14:05:09 <-> Sync Server Decrypted Response  Start!\r\n");
    QTest::newRow("line breaks kept") << QStringList{QStringLiteral("first\nsecond\r\nthird")}
                                      << QByteArray("\n03/07/2016 <-> 14:05:09 <-> first\nsecond\r\nthird\r\n");
}

void TestActivityLog::entryBytes()
{
    QFETCH(QStringList, texts);
    QFETCH(QByteArray, expected);
    TestHome home;
    MockClock clock(QDateTime(QDate(2016, 3, 7), QTime(14, 5, 9)));
    const QString path = home.dataFile(QStringLiteral("log.dat"));
    ActivityLog log(path);
    for (const QString& text : texts) {
        log.write(text);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

void TestActivityLog::missingDirectoryLosesEntrySilently()
{
    TestHome home;
    const QString path = home.path() + QStringLiteral("/missing/log.dat");
    ActivityLog log(path);
    log.write(QStringLiteral("lost"));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
