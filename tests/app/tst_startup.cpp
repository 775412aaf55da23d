#include "app/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/AuthTransaction.h"
#include "storage/ResourceStore.h"
#include "support/FakeCoreServices.h"
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
    void storedLogin_data();
    void storedLogin();

private:
    static void startHarness(QProcess& process, const QProcessEnvironment& env);
    static bool waitForOutput(QProcess& process, const QByteArray& text, QByteArray& seen);
    // Starts an instance in the X session and waits until its event loop runs; the output so far goes to `seen`.
    static bool startRunning(QProcess& process, const XSession& x, QByteArray& seen);
};

bool TestStartup::startRunning(QProcess& process, const XSession& x, QByteArray& seen)
{
    startHarness(process, x.environment());
    return waitForOutput(process, "READY", seen);
}

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
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    QProcess first;
    QByteArray firstOutput;
    QVERIFY2(startRunning(first, x, firstOutput), firstOutput.constData());

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
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    QProcess first;
    QByteArray seen;
    QVERIFY2(startRunning(first, x, seen), seen.constData());
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());

    QProcess next;
    QByteArray nextOutput;
    QVERIFY2(startRunning(next, x, nextOutput), nextOutput.constData());
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

void TestStartup::storedLogin_data()
{
    QTest::addColumn<bool>("sameComputer");
    QTest::addColumn<int>("resources");
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<bool>("loginKept");
    QTest::addColumn<bool>("resourcesKept");
    QTest::addColumn<QByteArray>("screens");
    QTest::newRow("valid login and resources go to the token screen")
        << true << 2 << QByteArray() << true << true << QByteArray("login=hidden token=shown");
    // The box comes after the login window is back: OK leaves the user a window to sign in from.
    QTest::newRow("valid login without resources asks to sign in again")
        << true << 0
        << QByteArray("BOX 1 parent Veltrane Auth suspects that the core data file has been corrupted. Recreating the "
                      "data files for you. Please re-login again.\n")
        << true << true << QByteArray("login=shown token=hidden");
    // The session object reads login.dat first and deletes it; the store, which no key here opens, stays until the
    // next sign-in replaces it.
    QTest::newRow("login of another computer is deleted")
        << false << 2 << QByteArray() << false << true << QByteArray("login=shown");
}

void TestStartup::storedLogin()
{
    QFETCH(bool, sameComputer);
    QFETCH(int, resources);
    QFETCH(QByteArray, box);
    QFETCH(bool, loginKept);
    QFETCH(bool, resourcesKept);
    QFETCH(QByteArray, screens);
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    {
        // The files as a previous run on this computer (or on another one) left them.
        const QString identity =
            sameComputer ? DeviceIdentity::collect(3, Platform::accountName()) : QStringLiteral("OTHER*PC*someone");
        QVERIFY(!identity.isEmpty());
        FakeCoreServices services(identity);
        AuthTransaction session;
        session.loginUser = QStringLiteral("demo.user");
        session.sessionId = QStringLiteral("SESSION");
        session.saveLogin();
        QList<ResourceRecord> list;
        for (int i = 0; i < resources; ++i) {
            list.append({QStringLiteral("Resource %1").arg(i), QStringLiteral("u"), QStringLiteral("g"),
                         QStringLiteral("KEY%1").arg(i)});
        }
        ResourceStore().save(list);
    }
    QProcess program;
    QByteArray seen;
    QVERIFY2(startRunning(program, x, seen), seen.constData());
    QCOMPARE(seen.left(seen.indexOf("READY")), box);
    const QByteArray ready = seen.mid(seen.indexOf("READY"));
    QVERIFY2(ready.startsWith("READY " + screens), ready.constData());
    QCOMPARE(QFile::exists(home.dataFile(QStringLiteral("login.dat"))), loginKept);
    QCOMPARE(QFile::exists(home.dataFile(QStringLiteral("res.dat"))), resourcesKept);
    program.kill();
    program.waitForFinished();
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
