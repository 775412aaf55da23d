#include "app/SharedText.h"
#include "app/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/AuthTransaction.h"
#include "storage/ResourceStore.h"
#include "support/FakeCoreServices.h"
#include "support/Namespaces.h"
#include "support/TestHome.h"
#include "support/XSession.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Start-up as a real process: data directory, first log entry, the single-instance guard, the start without a
// tray, and the end through the tray's Exit.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void withoutTrayStartsAnyway();
    void exitEndsWithZeroAndReleasesTheGuard();
    void secondInstanceIsRefused();
    void killedInstanceDoesNotLockOut();
    void instancesOfTwoAccounts();
    void normalUserOfflineKeepsOneIdentity();
    void storedLogin_data();
    void storedLogin();
    void quietByDefault_data();
    void quietByDefault();

private:
    static void startHarness(QProcess& process, const QProcessEnvironment& env);
    // The same as the user nobody, with the given home directory.
    static void startHarnessAsNobody(QProcess& process, const QProcessEnvironment& env, const QString& home);
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

void TestStartup::startHarnessAsNobody(QProcess& process, const QProcessEnvironment& env, const QString& home)
{
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral("setpriv"));
    process.setArguments({QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                          QStringLiteral("--clear-groups"), QStringLiteral("env"), QStringLiteral("HOME=") + home,
                          QStringLiteral(VELTRANE_STARTUP_HARNESS)});
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

void TestStartup::withoutTrayStartsAnyway()
{
    // The offscreen platform has no tray, like a desktop without one: the program runs, with no box.
    TestHome home;
    QDir(home.dataDir()).removeRecursively();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    // The usual umask: the data directory is private all the same.
    const mode_t previousMask = ::umask(022);
    startHarness(program, env);
    ::umask(previousMask);
    QByteArray seen;
    QVERIFY2(waitForOutput(program, "MENU", seen), seen.constData());
    QVERIFY2(seen.contains("PRESENCE none\n"), seen.constData());
    QVERIFY2(!seen.contains("BOX"), seen.constData());
    program.kill();
    program.waitForFinished();

    QVERIFY(QDir(home.dataDir()).exists());
    QProcess stat;
    stat.start(QStringLiteral("stat"), {QStringLiteral("-c"), QStringLiteral("%a"), home.dataDir()});
    QVERIFY(stat.waitForFinished(30000));
    QCOMPARE(stat.readAllStandardOutput().trimmed(), QByteArray("700"));
    QFile log(home.dataFile(QStringLiteral("log.dat")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    // A first start has no stored file to decipher, so the identity is collected after the directory exists and
    // its line follows the first entry.
    const QRegularExpression firstEntries(
        QStringLiteral("^\\n\\d\\d/\\d\\d/\\d{4} <-> \\d\\d:\\d\\d:\\d\\d <-> Veltrane Auth1\\.0\\.7\\r\\n"
                       "\\n\\d\\d/\\d\\d/\\d{4} <-> \\d\\d:\\d\\d:\\d\\d <-> (decode|DLL|script|MAddr) sucess\\r\\n"));
    const QString entries = QString::fromLatin1(log.readAll());
    QVERIFY2(firstEntries.match(entries).hasMatch(), qPrintable(entries));
}

void TestStartup::exitEndsWithZeroAndReleasesTheGuard()
{
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    QProcess first;
    QByteArray seen;
    QVERIFY2(startRunning(first, x, seen), seen.constData());
    QVERIFY2(waitForOutput(first, "MENU", seen), seen.constData());

    // "&No" keeps the program running.
    first.write("answer no\nexit\nstate\n");
    QVERIFY2(waitForOutput(first, "STATE", seen), seen.constData());
    QVERIFY(seen.contains("BOX 4 parent Do you want to exit Veltrane?\n"));
    QCOMPARE(first.state(), QProcess::Running);

    // "&Yes" ends the event loop with code 0, and the guard goes with it.
    first.write("answer yes\nexit\n");
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);

    QProcess next;
    QByteArray nextOutput;
    QVERIFY2(startRunning(next, x, nextOutput), nextOutput.constData());
    QVERIFY(!nextOutput.contains("BOX"));
    next.kill();
    next.waitForFinished();
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

void TestStartup::instancesOfTwoAccounts()
{
    if (geteuid() != 0) {
        QSKIP("needs root to start an instance as another user");
    }
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    QTemporaryDir otherHome;
    const passwd* nobody = getpwnam("nobody");
    QVERIFY(nobody);
    QCOMPARE(::chown(QFile::encodeName(otherHome.path()).constData(), nobody->pw_uid, nobody->pw_gid), 0);

    QProcess mine;
    QByteArray seen;
    QVERIFY2(startRunning(mine, x, seen), seen.constData());

    // Another account's instance starts beside it...
    QProcess theirs;
    QByteArray theirOutput;
    startHarnessAsNobody(theirs, x.environment(), otherHome.path());
    QVERIFY2(waitForOutput(theirs, "READY", theirOutput), theirOutput.constData());
    QVERIFY(!theirOutput.contains("BOX"));

    // ...while a second one of that same account is refused,
    QProcess theirSecond;
    startHarnessAsNobody(theirSecond, x.environment(), otherHome.path());
    QVERIFY(theirSecond.waitForFinished(60000));
    QCOMPARE(theirSecond.exitCode(), 0);
    QVERIFY(theirSecond.readAllStandardOutput().contains("is currently running"));

    // and a killed one leaves no guard behind for its account.
    ::kill(static_cast<pid_t>(theirs.processId()), SIGKILL);
    QVERIFY(theirs.waitForFinished());
    QProcess theirNext;
    QByteArray nextOutput;
    startHarnessAsNobody(theirNext, x.environment(), otherHome.path());
    QVERIFY2(waitForOutput(theirNext, "READY", nextOutput), nextOutput.constData());

    QCOMPARE(mine.state(), QProcess::Running);
    theirNext.kill();
    theirNext.waitForFinished();
    mine.kill();
    mine.waitForFinished();
}

void TestStartup::normalUserOfflineKeepsOneIdentity()
{
    // A normal user, no network at all (only loopback), the serial file root's alone and no SMBIOS table: the
    // identity comes from the management data and the machine id, the same on every start, also once an adapter
    // (and an address-less tun device) appears. Without a tray host the program runs with its no-tray presence;
    // the harness reports the identity and ends once the event loop runs.
    QTemporaryDir dir;
    const QString machineId = writeMachineIdFixture(dir.path(), "5e0f3a1b9c8d4e7f8a6b5c4d3e2f1a09");
    QVERIFY(!machineId.isEmpty());
    const NamespaceRun run = runInPrivateNamespaces(
        QStringLiteral("harness=$3\n"
                       "no_firmware_tables\n"
                       "fake_dmi QEMU 'ROOT ONLY 42' 0400\n"
                       "fake_machine_id \"$1\"\n"
                       "ip link set lo up\n"
                       "echo \"ORACLE=$(systemd-id128 machine-id --app-specific=$2)\"\n"
                       "export VELTRANE_HARNESS_QUIT_WHEN_READY=1\n"
                       "home=$(mktemp -d)\n"
                       "chown nobody \"$home\"\n"
                       "start() { echo \"=RUN $1\"; if as_nobody \"$home\" \"$harness\"; then echo EXIT=0; "
                       "else echo \"EXIT=$?\"; fi; }\n"
                       "start 1\n"
                       "start 2\n"
                       "add_running_tun vt0 10.77.0.1/24\n"
                       "add_veth ve0 02:00:5e:10:00:43 10.78.0.1/24\n"
                       "start 3\n"
                       "echo \"=END\"\n"
                       "echo \"LOG=$(od -An -tx1 -v \"$home/.Veltrane Auth/log.dat\" | tr -d ' \\n')\"\n"),
        {machineId, QString::fromLatin1(DeviceIdentity::machineAppId().toHex()),
         QStringLiteral(VELTRANE_STARTUP_HARNESS)});
    if (!run.skipReason.isEmpty()) {
        QSKIP(qPrintable(run.skipReason));
    }
    QVERIFY2(run.ok, run.output.constData());
    const qsizetype oracleAt = run.output.indexOf("ORACLE=");
    QVERIFY(oracleAt >= 0);
    const QByteArray oracle = run.output.mid(oracleAt + 7, 32);
    for (int start = 1; start <= 3; ++start) {
        const qsizetype from = run.output.indexOf("=RUN " + QByteArray::number(start));
        const qsizetype to = run.output.indexOf(start < 3 ? "=RUN " + QByteArray::number(start + 1) : "=END");
        QVERIFY(from >= 0 && to > from);
        const QByteArray output = run.output.mid(from, to - from);
        QVERIFY2(output.contains("PRESENCE none\n"), output.constData());
        QVERIFY2(!output.contains("cannot retrive"), output.constData());
        QVERIFY2(output.contains("EXIT=0"), output.constData());
        QCOMPARE(hexField(output, "IDENTITY"), "QEMU*" + oracle + "*nobody");
    }
    const QString log = QString::fromLatin1(hexField(run.output, "LOG"));
    QVERIFY2(log.startsWith(QLatin1Char('\n')) && log.contains(QStringLiteral(" <-> Veltrane Auth1.0.7\r\n\n")) &&
                 log.section(QStringLiteral("\r\n"), 1, 1).endsWith(QStringLiteral(" <-> script sucess")),
             qPrintable(log));
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

void TestStartup::quietByDefault_data()
{
    QTest::addColumn<QString>("rules");
    QTest::newRow("by default") << QString();
    QTest::newRow("traces asked for") << QStringLiteral("veltrane.identity.debug=true;veltrane.requests.debug=true");
}

void TestStartup::quietByDefault()
{
    // A desktop session keeps whatever the program prints (the journal, ~/.xsession-errors). The device identity is
    // the key material of the stored files, which hold the password: it, and the request traces, are printed only
    // when QT_LOGGING_RULES asks for them.
    QFETCH(QString, rules);
    TestHome home;
    const QString identity = DeviceIdentity::collect(3, Platform::accountName());
    QVERIFY(!identity.isEmpty());
    const QString password = QStringLiteral("Secret-Pass-4711");
    {
        FakeCoreServices services(identity);
        AuthTransaction session;
        session.loginUser = QStringLiteral("demo.user");
        session.loginPassword = password;
        session.sessionId = QStringLiteral("SESSION");
        session.saveLogin();
        ResourceStore().save({{QStringLiteral("Mail"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("K")}});
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    if (!rules.isEmpty()) {
        env.insert(QStringLiteral("QT_LOGGING_RULES"), rules);
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VELTRANE_STARTUP_HARNESS));
    QByteArray seen;
    QVERIFY2(waitForOutput(program, "MENU", seen), seen.constData());
    // A sync sends a request; the box that tells its outcome (any server, or none) says that it went.
    program.write("sync\n");
    QVERIFY2(waitForOutput(program, "BOX", seen), seen.constData());
    program.kill();
    program.waitForFinished();
    const QByteArray errors = program.readAllStandardError();
    const QByteArray everything = seen + program.readAllStandardOutput() + errors;

    const QByteArray url = SharedText::get().urlStatServlet.toUtf8();
    const QList<QByteArray> traces{"Get " + identity.toUtf8(), "SSL Support is true", "URL " + url};
    for (const QByteArray& trace : traces) {
        QVERIFY2(errors.contains(trace) == !rules.isEmpty(), errors.constData());
    }
    if (rules.isEmpty()) {
        QVERIFY2(!everything.contains(identity.toUtf8()), everything.constData());
        QVERIFY2(!everything.contains(url), everything.constData());
    }
    QVERIFY2(!everything.contains(password.toUtf8()), everything.constData());
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
