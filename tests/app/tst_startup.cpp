#include "support/TestHome.h"
#include "support/XSession.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

// Start-up as a real process: data directory, first log entry, the single-instance guard, the no-tray exit.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void withoutTrayExitsWithOne();
    void secondInstanceIsRefused();
    void killedInstanceDoesNotLockOut();

private:
    static void startHarness(QProcess& process, const QProcessEnvironment& env);
    static bool waitForOutput(QProcess& process, const QByteArray& text, QByteArray& seen);
};

void TestStartup::startHarness(QProcess& process, const QProcessEnvironment& env)
{
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral(VELTRANE_STARTUP_HARNESS));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
}

bool TestStartup::waitForOutput(QProcess& process, const QByteArray& text, QByteArray& seen)
{
    while (!seen.contains(text)) {
        if (!process.waitForReadyRead(30000)) {
            seen += process.readAllStandardOutput();
            return seen.contains(text);
        }
        seen += process.readAllStandardOutput();
    }
    return true;
}

void TestStartup::withoutTrayExitsWithOne()
{
    TestHome home;
    QDir(home.dataDir()).removeRecursively();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    startHarness(program, env);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    const QByteArray output = program.readAllStandardOutput();
    QVERIFY2(output.contains("BOX 3 none I couldn't detect any system tray on this system.\n"), output.constData());
    QVERIFY(!output.contains("READY"));

    QVERIFY(QDir(home.dataDir()).exists());
    QFile log(home.dataFile(QStringLiteral("log.dat")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QRegularExpression firstEntry(
        QStringLiteral("^\\n\\d\\d/\\d\\d/\\d{4} <-> \\d\\d:\\d\\d:\\d\\d <-> Veltrane Auth1\\.0\\.7\\r\\n"));
    QVERIFY2(firstEntry.match(QString::fromLatin1(log.readAll())).hasMatch(), "first log entry");
}

void TestStartup::secondInstanceIsRefused()
{
    XSession x;
    if (!x.isValid()) {
        QFAIL(qPrintable(x.error()));
    }
    TestHome home;
    QProcess first;
    startHarness(first, x.environment());
    QByteArray firstOutput;
    QVERIFY2(waitForOutput(first, "READY", firstOutput), firstOutput.constData());

    QProcess second;
    startHarness(second, x.environment());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    const QByteArray output = second.readAllStandardOutput();
    QVERIFY2(output.contains("BOX 3 none  Veltrane Auth is currently running. Please right click on the system tray "
                             "icon and click Exit to exit the application\n"),
             output.constData());
    QVERIFY(!output.contains("READY"));

    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

void TestStartup::killedInstanceDoesNotLockOut()
{
    XSession x;
    if (!x.isValid()) {
        QFAIL(qPrintable(x.error()));
    }
    TestHome home;
    QProcess first;
    startHarness(first, x.environment());
    QByteArray seen;
    QVERIFY2(waitForOutput(first, "READY", seen), seen.constData());
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());

    QProcess next;
    startHarness(next, x.environment());
    QByteArray nextOutput;
    QVERIFY2(waitForOutput(next, "READY", nextOutput), nextOutput.constData());
    QVERIFY(!nextOutput.contains("BOX"));

    // The new instance holds the guard again: one more start is refused.
    QProcess third;
    startHarness(third, x.environment());
    QVERIFY(third.waitForFinished(60000));
    QCOMPARE(third.exitCode(), 0);
    QVERIFY(third.readAllStandardOutput().contains("is currently running"));

    next.kill();
    next.waitForFinished();
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
