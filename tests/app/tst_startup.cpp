#include "core/SharedText.h"
#include "core/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/AuthTransaction.h"
#include "storage/ResourceStore.h"
#include "support/FakeCoreServices.h"
#include "support/Namespaces.h"
#include "support/ProcessReport.h"
#include "support/TestHome.h"
#include "support/XSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QFileInfo>
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
    void leftoversOfInterruptedSavesAreRemoved();
    void foreignDataDirectoryIsNotUsed_data();
    void foreignDataDirectoryIsNotUsed();
    void plantedLogLinkIsNotFollowed_data();
    void plantedLogLinkIsNotFollowed();
    void squattedLockFolderDoesNotRefuseTheStart_data();
    void squattedLockFolderDoesNotRefuseTheStart();
    void quietByDefault_data();
    void quietByDefault();

private:
    static void startHarness(QProcess& process, const QProcessEnvironment& env);
    // The same as the user nobody, with the given home directory.
    static void startHarnessAsNobody(QProcess& process, QProcessEnvironment env, const QString& home);
    static bool waitForOutput(QProcess& process, const QByteArray& text, QByteArray& seen);
    // Starts the harness as root or as nobody with this home and environment.
    static void startHarnessAs(QProcess& process, bool asNobody, QProcessEnvironment env, const QString& home);
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

void TestStartup::startHarnessAsNobody(QProcess& process, QProcessEnvironment env, const QString& home)
{
    // The account's own runtime folder, as its session would give it. The test's folder is root's, so nobody's
    // instance lock would otherwise fall back to /tmp/veltrane-auth-<uid>, which the instances of nobody that
    // another run starts (the other build's suite) share.
    if (env.contains(QStringLiteral("XDG_RUNTIME_DIR"))) {
        const QString runtime = home + QStringLiteral("/.runtime");
        const passwd* nobody = getpwnam("nobody");
        QVERIFY(nobody);
        QVERIFY(QDir().mkpath(runtime));
        QCOMPARE(::chown(QFile::encodeName(runtime).constData(), nobody->pw_uid, nobody->pw_gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
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
    ProgramProcess program;
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
    ProgramProcess first;
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

    ProgramProcess next;
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
    ProgramProcess first;
    QByteArray firstOutput;
    QVERIFY2(startRunning(first, x, firstOutput), firstOutput.constData());
    QVERIFY2(waitForOutput(first, "MENU", firstOutput), firstOutput.constData());

    // The first instance's window is hidden to the tray, as after its Close button.
    first.write("winid\nhide\nstate\n");
    QVERIFY2(waitForOutput(first, "STATE", firstOutput), firstOutput.constData());
    QVERIFY2(firstOutput.contains("STATE visible=0"), firstOutput.constData());
    const QString window = QString::fromLatin1(firstOutput.mid(firstOutput.indexOf("WINID ") + 6).split('\n').first());
    auto mapState = [&] {
        QProcess info;
        info.setProcessEnvironment(x.environment());
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        info.waitForFinished(15000);
        const QByteArray out = info.readAllStandardOutput();
        return out.mid(out.indexOf("Map State: ")).split('\n').first();
    };
    QCOMPARE(mapState(), QByteArray("Map State: IsUnMapped"));

    ProgramProcess second;
    startHarness(second, x.environment());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    const QByteArray output = second.readAllStandardOutput();
    QVERIFY2(output.contains("BOX 3 none  Veltrane Auth is currently running. Please right click on the system tray "
                             "icon and click Exit to exit the application\n"),
             output.constData());
    QVERIFY(!output.contains("READY"));

    // The running instance has brought its window back (mapped on the screen again), and runs on.
    QTRY_COMPARE_WITH_TIMEOUT(mapState(), QByteArray("Map State: IsViewable"), 10000);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

void TestStartup::killedInstanceDoesNotLockOut()
{
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    ProgramProcess first;
    QByteArray seen;
    QVERIFY2(startRunning(first, x, seen), seen.constData());
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());

    ProgramProcess next;
    QByteArray nextOutput;
    QVERIFY2(startRunning(next, x, nextOutput), nextOutput.constData());
    QVERIFY(!nextOutput.contains("BOX"));

    // The new instance holds the guard again: one more start is refused.
    ProgramProcess third;
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

    ProgramProcess mine;
    QByteArray seen;
    QVERIFY2(startRunning(mine, x, seen), seen.constData());

    // Another account's instance starts beside it...
    ProgramProcess theirs;
    QByteArray theirOutput;
    startHarnessAsNobody(theirs, x.environment(), otherHome.path());
    QVERIFY2(waitForOutput(theirs, "READY", theirOutput), theirOutput.constData());
    QVERIFY(!theirOutput.contains("BOX"));

    // ...while a second one of that same account is refused,
    ProgramProcess theirSecond;
    startHarnessAsNobody(theirSecond, x.environment(), otherHome.path());
    QVERIFY(theirSecond.waitForFinished(60000));
    QCOMPARE(theirSecond.exitCode(), 0);
    QVERIFY(theirSecond.readAllStandardOutput().contains("is currently running"));

    // and a killed one leaves no guard behind for its account.
    ::kill(static_cast<pid_t>(theirs.processId()), SIGKILL);
    QVERIFY(theirs.waitForFinished());
    ProgramProcess theirNext;
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
    ProgramProcess program;
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

void TestStartup::leftoversOfInterruptedSavesAreRemoved()
{
    // A save writes "<name>.XXXXXX" and renames it over the store; killed in between, the copy stays behind.
    TestHome home;
    QStringList leftovers{QStringLiteral("login.dat.aB3xYz"), QStringLiteral("Proxy.dat.k9Lm0P")};
    {
        // Named by Qt's own temporary-file generator, as a save's copy is.
        QTemporaryFile copy(home.dataFile(QStringLiteral("res.dat.XXXXXX")));
        copy.setAutoRemove(false);
        QVERIFY(copy.open());
        leftovers.append(QFileInfo(copy.fileName()).fileName());
    }
    const QStringList others{QStringLiteral("login.dat.bak"), QStringLiteral("login.dat.aB3xYz7"),
                             QStringLiteral("log.dat.aB3xYz"), QStringLiteral("notes.txt")};
    for (const QString& name : leftovers + others) {
        QFile file(home.dataFile(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("enciphered credentials");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELTRANE_HARNESS_QUIT_WHEN_READY"), QStringLiteral("1"));
    ProgramProcess program;
    startHarness(program, env);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    for (const QString& name : leftovers) {
        QVERIFY2(!QFile::exists(home.dataFile(name)), qPrintable(name));
    }
    for (const QString& name : others) {
        QVERIFY2(QFile::exists(home.dataFile(name)), qPrintable(name));
    }
}

void TestStartup::startHarnessAs(QProcess& process, bool asNobody, QProcessEnvironment env, const QString& home)
{
    if (asNobody) {
        startHarnessAsNobody(process, env, home);
    } else {
        env.insert(QStringLiteral("HOME"), home);
        startHarness(process, env);
    }
}

namespace {

struct Account {
    uid_t uid;
    gid_t gid;
};

Account accountOf(bool nobody)
{
    if (!nobody) {
        return {0, 0};
    }
    const passwd* entry = getpwnam("nobody");
    return entry ? Account{entry->pw_uid, entry->pw_gid} : Account{0, 0};
}

bool chownTo(const QString& path, Account account)
{
    return ::lchown(QFile::encodeName(path).constData(), account.uid, account.gid) == 0;
}

QProcessEnvironment quitWhenReady()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELTRANE_HARNESS_QUIT_WHEN_READY"), QStringLiteral("1"));
    return env;
}

// A home for the account that runs the program: a folder it owns, reachable by both accounts.
bool makeHome(const QTemporaryDir& dir, Account owner)
{
    return dir.isValid() && chownTo(dir.path(), owner) &&
           QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                                 QFile::ExeOther);
}

} // namespace

void TestStartup::foreignDataDirectoryIsNotUsed_data()
{
    QTest::addColumn<bool>("victimIsNobody");
    QTest::addColumn<QString>("kind");
    QTest::newRow("root's folder in nobody's home") << true << QStringLiteral("foreign");
    QTest::newRow("nobody's folder in root's home") << false << QStringLiteral("foreign");
    QTest::newRow("a link to another folder of one's own") << false << QStringLiteral("link");
}

void TestStartup::foreignDataDirectoryIsNotUsed()
{
    QFETCH(bool, victimIsNobody);
    QFETCH(QString, kind);
    if (geteuid() != 0) {
        QSKIP("needs root to give folders to another account");
    }
    const Account victim = accountOf(victimIsNobody);
    const Account other = accountOf(!victimIsNobody);
    QVERIFY(victim.uid != other.uid);
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    QVERIFY(makeHome(home, victim));
    const QString dataDir = home.path() + QStringLiteral("/.Veltrane Auth");
    // What the other account planted: a store, a proxy set-up, a leftover of a save; and a folder anyone may write.
    const QString planted = kind == QLatin1String("link") ? elsewhere.path() : dataDir;
    QVERIFY(QDir().mkpath(planted));
    const QStringList plantedFiles{QStringLiteral("res.dat"), QStringLiteral("Proxy.dat"),
                                   QStringLiteral("login.dat.aB3xYz")};
    for (const QString& name : plantedFiles) {
        QFile file(planted + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("planted");
    }
    QVERIFY(QFile::setPermissions(planted, QFile::Permissions(0x7777)));
    if (kind == QLatin1String("link")) {
        QVERIFY(chownTo(planted, victim));
        QVERIFY(QFile::link(planted, dataDir));
        QVERIFY(chownTo(dataDir, victim));
    } else {
        QVERIFY(chownTo(dataDir, other));
    }

    ProgramProcess program;
    startHarnessAs(program, victimIsNobody, quitWhenReady(), home.path());
    QVERIFY(program.waitForFinished(60000));
    const QByteArray output = program.readAllStandardOutput();
    QCOMPARE(program.exitCode(), 0);
    // Told once, before anything else; then the login window, as for a first start.
    const QByteArray box = "BOX 3 none Veltrane Auth does not use the folder \"" + QFile::encodeName(dataDir) +
                           "\": it is not a folder of your own";
    QVERIFY2(output.startsWith(box), output.constData());
    QCOMPARE(output.count("BOX"), 1);
    QVERIFY2(output.contains("READY login=shown token=hidden"), output.constData());
    // Nothing was written, removed or loosened there: no log, no lock, the planted files as they were.
    QDir folder(planted);
    QStringList expected = plantedFiles;
    expected.sort();
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name), expected);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(planted).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0777));
}

void TestStartup::plantedLogLinkIsNotFollowed_data()
{
    QTest::addColumn<bool>("victimIsNobody");
    QTest::newRow("nobody's log") << true;
    QTest::newRow("root's log") << false;
}

void TestStartup::plantedLogLinkIsNotFollowed()
{
    QFETCH(bool, victimIsNobody);
    if (geteuid() != 0) {
        QSKIP("needs root to start the program as another account");
    }
    const Account victim = accountOf(victimIsNobody);
    QTemporaryDir home;
    QVERIFY(makeHome(home, victim));
    const QString dataDir = home.path() + QStringLiteral("/.Veltrane Auth");
    QVERIFY(QDir().mkdir(dataDir));
    QVERIFY(chownTo(dataDir, victim));
    const QString profile = home.path() + QStringLiteral("/.profile");
    {
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("export PATH\n");
    }
    QVERIFY(chownTo(profile, victim));
    QVERIFY(QFile::link(profile, dataDir + QStringLiteral("/log.dat")));

    ProgramProcess program;
    startHarnessAs(program, victimIsNobody, quitWhenReady(), home.path());
    QVERIFY(program.waitForFinished(60000));
    const QByteArray output = program.readAllStandardOutput();
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(output.contains("READY login=shown"), output.constData());
    // The entries are lost; the file the link points at does not grow.
    QCOMPARE(QFileInfo(profile).size(), qint64(12));
    QVERIFY(QFileInfo(dataDir + QStringLiteral("/log.dat")).isSymLink());
}

void TestStartup::squattedLockFolderDoesNotRefuseTheStart_data()
{
    QTest::addColumn<bool>("victimIsNobody");
    QTest::newRow("root squats nobody's lock folder") << true;
    QTest::newRow("nobody squats root's lock folder") << false;
}

void TestStartup::squattedLockFolderDoesNotRefuseTheStart()
{
    QFETCH(bool, victimIsNobody);
    if (geteuid() != 0) {
        QSKIP("needs root to make folders of another account");
    }
    const Account victim = accountOf(victimIsNobody);
    const Account squatter = accountOf(!victimIsNobody);
    QTemporaryDir home;
    QVERIFY(makeHome(home, victim));
    // A temporary folder of its own for this test, shared by all accounts like /tmp.
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QCOMPARE(::chmod(QFile::encodeName(temp.path()).constData(), 01777), 0);
    const QString squatted = temp.path() + QStringLiteral("/veltrane-auth-") + QString::number(victim.uid);
    QVERIFY(QDir().mkdir(squatted));
    QVERIFY(chownTo(squatted, squatter));
    QVERIFY(QFile::setPermissions(squatted, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    ProgramProcess first;
    startHarnessAs(first, victimIsNobody, env, home.path());
    QByteArray seen;
    QVERIFY2(waitForOutput(first, "READY", seen), seen.constData());
    QVERIFY2(!seen.contains("BOX"), seen.constData());
    // The lock moved into the account's own data directory, where it still keeps a second instance out.
    QVERIFY(QFile::exists(home.path() + QStringLiteral("/.Veltrane Auth/61BB200D-3579-453e-9044-.lock")));
    ProgramProcess second;
    startHarnessAs(second, victimIsNobody, env, home.path());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().contains("is currently running"));
    first.kill();
    first.waitForFinished();
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
    ProgramProcess program;
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
