#include "core/ActivityLog.h"

#include "support/MockClock.h"
#include "support/TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

// The log's bytes are read by administrators' tools: the layout must hold to the byte.
class TestActivityLog : public QObject {
    Q_OBJECT

private slots:
    void entryBytes_data();
    void entryBytes();
    void missingDirectoryLosesEntrySilently();
    void fileIsPrivate_data();
    void fileIsPrivate();
    void linkInItsPlaceIsNotFollowed();
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

void TestActivityLog::fileIsPrivate_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("a new log") << false;
    QTest::newRow("an older log readable by all") << true;
}

void TestActivityLog::fileIsPrivate()
{
    QFETCH(bool, existing);
    TestHome home;
    const QString path = home.dataFile(QStringLiteral("log.dat"));
    if (existing) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly));
        QVERIFY(older.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    // The usual umask would leave a new file readable by everyone.
    const mode_t previousMask = ::umask(022);
    ActivityLog(path).write(QStringLiteral("entry"));
    ::umask(previousMask);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
}

void TestActivityLog::linkInItsPlaceIsNotFollowed()
{
    // A link planted where log.dat goes would make every entry grow the file it points at.
    TestHome home;
    const QString target = home.path() + QStringLiteral("/.profile");
    QFile profile(target);
    QVERIFY(profile.open(QIODevice::WriteOnly));
    profile.write("export PATH\n");
    profile.close();
    const QString path = home.dataFile(QStringLiteral("log.dat"));
    QVERIFY(QFile::link(target, path));
    ActivityLog(path).write(QStringLiteral("entry"));
    QCOMPARE(QFileInfo(target).size(), qint64(12));
    QVERIFY(QFileInfo(path).isSymLink());
}

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
