#include "app/CodeCommand.h"
#include "cipher/AesCipher.h"
#include "cipher/FileKey.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "core/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/SignInChain.h"
#include "protocol/TokenGenerator.h"
#include "storage/StoredFile.h"
#include "support/ChainWorld.h"
#include "support/DemoAccount.h"
#include "support/MockClock.h"
#include "support/ScreenFixture.h"
#include "ui/shell/AppController.h"
#include "ui/token/Tokendetails.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextStream>

#include <map>
#include <memory>

// `veltrane-auth --code` and `--list`, through the real program, on the stored files a real sign-in against the
// development server left: what it prints, its exit status, that the server accepts its codes, and that it changes
// nothing in the data folder, whatever state the stored files are in.
namespace {

const QString kUser = QStringLiteral("demo.user");
const QString kPassword = QStringLiteral("demo-pass-2026");
// A resource whose name holds a tab: the list must not take it for a column, and its key marks an expired
// registration.
const QString kTabbedName = QStringLiteral("Jump\tHost");

// Every file and folder under a home: name, size, modification time and content, and each folder's time (a file
// made and removed again changes it).
using Snapshot = std::map<QString, QString>;

Snapshot snapshot(const QString& home)
{
    Snapshot files;
    files[QStringLiteral(".")] = QString::number(QFileInfo(home).lastModified().toMSecsSinceEpoch());
    QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString state = QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char(' ') +
                        QString::number(info.size()) + QLatin1Char(' ') + QString::number(int(info.permissions()));
        QFile file(info.filePath());
        if (info.isFile() && file.open(QIODevice::ReadOnly)) {
            state += QLatin1Char(' ') +
                     QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        }
        files[QDir(home).relativeFilePath(info.filePath())] = state;
    }
    return files;
}

QString describe(const Snapshot& files)
{
    QString text;
    for (const auto& [name, state] : files) {
        text += name + QStringLiteral(": ") + state + QLatin1Char('\n');
    }
    return text;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
    // The seconds the program ran in, as the system clock counts them.
    qint64 firstSecond = 0;
    qint64 lastSecond = 0;
};

QProcessEnvironment programEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display of any kind: a program that made a window would abort.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
        env.remove(QLatin1String(name));
    }
    env.insert(QStringLiteral("HOME"), home);
    return env;
}

Run runProgram(const QString& home, const QStringList& arguments)
{
    QProcess program;
    program.setProcessEnvironment(programEnvironment(home));
    Run run;
    run.firstSecond = QDateTime::currentSecsSinceEpoch();
    program.start(QStringLiteral(VELTRANE_PROGRAM_EXE), arguments);
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.lastSecond = QDateTime::currentSecsSinceEpoch();
    run.status = program.exitCode();
    run.out = QString::fromUtf8(program.readAllStandardOutput());
    run.err = QString::fromUtf8(program.readAllStandardError());
    return run;
}

int serverVerdict(const DevServer& server, const QString& resource, const QString& code)
{
    QProcess verify;
    verify.start(DevServer::executable(),
                 {QStringLiteral("verify"), QStringLiteral("--data"), server.dataFilePath(), QStringLiteral("--user"),
                  kUser, QStringLiteral("--resource"), resource, QStringLiteral("--code"), code});
    if (!verify.waitForFinished(30000) || verify.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return verify.exitCode();
}

// What the stored files are made to be before a run.
enum class Stored {
    SignedIn,
    // No data folder at all: the program must not make one.
    NoFolder,
    EmptyFolder,
    // Only login.dat: the sign-in did not get as far as the resources.
    LoginOnly,
    // login.dat enciphered for another computer or account.
    ForeignLogin,
    EmptyLogin,
    // res.dat cut by one cipher block, as a disk that filled up would leave it.
    CutResources,
    // res.dat of another computer beside a good login.dat.
    ForeignResources,
    // A res.dat as a sync that delivered no resource leaves it.
    NoResources,
    // The data folder is a link to a folder with the signed-in files: whoever could plant the link could plant the
    // files.
    LinkedFolder,
};

} // namespace

Q_DECLARE_METATYPE(Stored)

class TestCodeCommand : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void readsTheStoredSession_data();
    void readsTheStoredSession();
    void worksBesideARunningProgram();
    void waitsForTheNextStep_data();
    void waitsForTheNextStep();

private:
    // Puts the stored files of the sign-in, as the row wants them, into the home's data folder.
    void store(const QString& home, Stored state) const;

    QString identity_;
    std::unique_ptr<ChainWorld> world_;
    QByteArray loginBytes_;
    QByteArray resBytes_;
    // resourceName -> tokenKey, as the server holds them.
    std::map<QString, QString> keys_;
};

void TestCodeCommand::initTestCase()
{
    // The identity the program collects on this computer, so that the sign-in's files are enciphered for it.
    identity_ = DeviceIdentity::collectWithoutTraces(3, Platform::accountName());
    QVERIFY(!identity_.isEmpty());

    world_ = std::make_unique<ChainWorld>(std::make_unique<FakeCoreServices>(identity_));
    QJsonArray resources = DemoAccount::data()
                               .value(QStringLiteral("users"))
                               .toArray()
                               .at(0)
                               .toObject()
                               .value(QStringLiteral("resources"))
                               .toArray();
    resources.append(QJsonObject{{QStringLiteral("name"), kTabbedName},
                                 {QStringLiteral("userName"), QStringLiteral("demo")},
                                 {QStringLiteral("groupName"), QStringLiteral("Engineering")},
                                 {QStringLiteral("tokenKey"), QStringLiteral("-2")}});
    for (const QJsonValue& resource : resources) {
        keys_[resource[QStringLiteral("name")].toString()] = resource[QStringLiteral("tokenKey")].toString();
    }
    QVERIFY(world_->serve(
        DemoAccount::withDevice(identity_, QStringLiteral("registered"), {{QStringLiteral("resources"), resources}})));

    // A real sign-in: status, authentication and sync requests, and the two files they leave.
    SignInChain chain([] { return SignInChain::Credentials{kUser, kPassword}; }, [] { return 0; });
    bool signedIn = false;
    connect(&chain, &SignInChain::signedIn, this, [&signedIn] { signedIn = true; });
    chain.start();
    QVERIFY(QTest::qWaitFor([&chain] { return !chain.inFlight(); }, 30000));
    QVERIFY2(signedIn,
             qPrintable(world_->services->messages.isEmpty() ? QString() : world_->services->messages.first().first));
    QFile login(world_->home.dataFile(QStringLiteral("login.dat")));
    QFile res(world_->home.dataFile(QStringLiteral("res.dat")));
    QVERIFY(login.open(QIODevice::ReadOnly));
    QVERIFY(res.open(QIODevice::ReadOnly));
    loginBytes_ = login.readAll();
    resBytes_ = res.readAll();
    QVERIFY(!loginBytes_.isEmpty());
    QVERIFY(!resBytes_.isEmpty());
}

void TestCodeCommand::cleanupTestCase()
{
    world_.reset();
}

void TestCodeCommand::store(const QString& home, Stored state) const
{
    QString dataDir = home + QStringLiteral("/.Veltrane Auth");
    QDir(dataDir).removeRecursively();
    if (state == Stored::NoFolder) {
        return;
    }
    if (state == Stored::LinkedFolder) {
        const QString target = home + QStringLiteral("/elsewhere");
        QVERIFY(QFile::link(target, dataDir));
        dataDir = target;
    }
    QDir().mkpath(dataDir);
    const auto write = [&dataDir](const QString& name, const QByteArray& bytes) {
        QFile file(dataDir + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    };
    // What the same plaintext is under the key of another computer.
    const auto foreign = [this](const QByteArray& bytes) {
        const QByteArray plain = AesCipher().decrypt(fileKeyFor(identity_), bytes);
        return AesCipher().encrypt(fileKeyFor(identity_ + QStringLiteral("-elsewhere")), plain);
    };
    switch (state) {
    case Stored::NoFolder:
    case Stored::EmptyFolder:
        break;
    case Stored::SignedIn:
    case Stored::LinkedFolder:
        write(QStringLiteral("login.dat"), loginBytes_);
        write(QStringLiteral("res.dat"), resBytes_);
        break;
    case Stored::LoginOnly:
        write(QStringLiteral("login.dat"), loginBytes_);
        break;
    case Stored::ForeignLogin:
        write(QStringLiteral("login.dat"), foreign(loginBytes_));
        write(QStringLiteral("res.dat"), resBytes_);
        break;
    case Stored::EmptyLogin:
        write(QStringLiteral("login.dat"), QByteArray());
        write(QStringLiteral("res.dat"), resBytes_);
        break;
    case Stored::CutResources:
        write(QStringLiteral("login.dat"), loginBytes_);
        write(QStringLiteral("res.dat"), resBytes_.left(resBytes_.size() - 16));
        break;
    case Stored::ForeignResources:
        write(QStringLiteral("login.dat"), loginBytes_);
        write(QStringLiteral("res.dat"), foreign(resBytes_));
        break;
    case Stored::NoResources:
        write(QStringLiteral("login.dat"), loginBytes_);
        write(QStringLiteral("res.dat"),
              AesCipher().encrypt(fileKeyFor(identity_),
                                  QByteArray(StoredFile::kMarker, StoredFile::kMarkerSize) + '\xAB'));
        break;
    }
    // Files of the program that --code never touches, and a script a crashed start-up may have left.
    write(QStringLiteral("log.dat"), "11/12/2026 09:00:00 : Veltrane Auth1.0.7\r\n");
    write(QStringLiteral("Serial.vbs"), "WScript.Echo 1\n");
}

void TestCodeCommand::readsTheStoredSession_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<int>("status");
    // "code:NAME": a code of that resource and a line feed; anything else: exactly that.
    QTest::addColumn<QString>("out");
    // %1 stands for the data folder.
    QTest::addColumn<QString>("err");

    const QString code = QStringLiteral("--code");
    const QString list = QStringLiteral("--list");
    const QString minValidity = QStringLiteral("--min-validity");
    const QString usage = CodeCommand::usage();
    const QString noSession = QStringLiteral("veltrane-auth: no stored session: sign in with the program first.\n");
    const QString undecipherable =
        QStringLiteral("veltrane-auth: the stored files in \"%1\" do not decipher on this computer and account (they "
                       "were made on another one, or are damaged). They are kept as they are; start the program to "
                       "sign in again.\n");
    const QString names =
        QStringLiteral("The stored resources are:\n  \"Mail Gateway\"\n  \"VPN Z\u00fcrich\"\n  \"Build Server\"\n"
                       "  \"Jump Host\"\n");

    QTest::newRow("first resource") << QStringList{code} << Stored::SignedIn << 0 << QStringLiteral("code:Mail Gateway")
                                    << QString();
    QTest::newRow("named resource") << QStringList{code, QStringLiteral("VPN Z\u00fcrich")} << Stored::SignedIn << 0
                                    << QStringLiteral("code:VPN Z\u00fcrich") << QString();
    QTest::newRow("min-validity 0 prints at once")
        << QStringList{code, QStringLiteral("Mail Gateway"), minValidity, QStringLiteral("0")} << Stored::SignedIn << 0
        << QStringLiteral("code:Mail Gateway") << QString();
    QTest::newRow("unknown name") << QStringList{code, QStringLiteral("VPN Zurich")} << Stored::SignedIn << 3
                                  << QString()
                                  << QStringLiteral("veltrane-auth: no stored resource is named \"VPN Zurich\". ") +
                                         names;
    QTest::newRow("token expired") << QStringList{code, QStringLiteral("Build Server")} << Stored::SignedIn << 4
                                   << QString()
                                   << QStringLiteral(
                                          "veltrane-auth: \"Build Server\": Token Expired......Token Expired... \n");
    QTest::newRow("registration expired") << QStringList{code, kTabbedName} << Stored::SignedIn << 4 << QString()
                                          << QStringLiteral("veltrane-auth: \"Jump Host\": Registration Expired....\n");
    QTest::newRow("list") << QStringList{list} << Stored::SignedIn << 0
                          << QStringLiteral("Mail Gateway\tdemo.user@example.org\tOffice\n"
                                            "VPN Z\u00fcrich\tdemo.user\tRemote Access\n"
                                            "Build Server\tdemo\tEngineering\n"
                                            "Jump Host\tdemo\tEngineering\n")
                          << QString();
    QTest::newRow("no data folder") << QStringList{code} << Stored::NoFolder << 2 << QString() << noSession;
    QTest::newRow("no session") << QStringList{list} << Stored::EmptyFolder << 2 << QString() << noSession;
    QTest::newRow("login.dat alone") << QStringList{code} << Stored::LoginOnly << 2 << QString() << noSession;
    QTest::newRow("login.dat of another computer, kept")
        << QStringList{code} << Stored::ForeignLogin << 2 << QString() << undecipherable;
    QTest::newRow("empty login.dat, kept")
        << QStringList{list} << Stored::EmptyLogin << 2 << QString() << undecipherable;
    QTest::newRow("res.dat cut short, kept")
        << QStringList{code} << Stored::CutResources << 2 << QString() << undecipherable;
    QTest::newRow("res.dat of another computer, kept")
        << QStringList{code} << Stored::ForeignResources << 2 << QString() << undecipherable;
    QTest::newRow("session without resources")
        << QStringList{list} << Stored::NoResources << 2 << QString()
        << QStringLiteral("veltrane-auth: the stored session holds no resource; start the program to sign in "
                          "again.\n");
    QTest::newRow("data folder is a link")
        << QStringList{code} << Stored::LinkedFolder << 2 << QString()
        << QStringLiteral("veltrane-auth: the folder \"%1\" is not a folder of your own (another account owns it, or "
                          "it is a link); nothing is read from it.\n");

    const auto badArguments = [&](const char* name, const QStringList& arguments, const QString& problem) {
        QTest::newRow(name) << arguments << Stored::SignedIn << 64 << QString()
                            << QStringLiteral("veltrane-auth: ") + problem + QLatin1Char('\n') + usage;
    };
    badArguments("code and list", {code, list}, QStringLiteral("--code and --list cannot be used together"));
    badArguments("code twice", {code, QStringLiteral("Mail Gateway"), code}, QStringLiteral("--code is given twice"));
    badArguments("min-validity alone", {minValidity, QStringLiteral("5")},
                 QStringLiteral("--min-validity goes with --code"));
    badArguments("min-validity above a step", {code, minValidity, QStringLiteral("31")},
                 QStringLiteral("--min-validity needs a number of seconds from 0 to 30"));
    badArguments("min-validity not a number", {code, minValidity, QStringLiteral("ten")},
                 QStringLiteral("--min-validity needs a number of seconds from 0 to 30"));
    badArguments("min-validity without seconds", {code, minValidity},
                 QStringLiteral("--min-validity needs a number of seconds from 0 to 30"));
    badArguments("toolkit option", {list, QStringLiteral("-platform"), QStringLiteral("offscreen")},
                 QStringLiteral("unknown argument \"-platform\""));
}

void TestCodeCommand::readsTheStoredSession()
{
    QFETCH(QStringList, arguments);
    QFETCH(Stored, stored);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    TestHome home;
    store(home.path(), stored);
    if (QTest::currentTestFailed()) {
        return;
    }
    const Snapshot before = snapshot(home.path());

    const Run run = runProgram(home.path(), arguments);
    QCOMPARE(run.err, err.contains(QLatin1String("%1")) ? err.arg(QDir::toNativeSeparators(home.dataDir())) : err);
    QCOMPARE(run.status, status);
    if (out.startsWith(QLatin1String("code:"))) {
        const QString resource = out.mid(5);
        QVERIFY2(QRegularExpression(QStringLiteral("\\A[0-9]{6}\\n\\z")).match(run.out).hasMatch(),
                 qPrintable(run.out));
        const QString printed = run.out.trimmed();
        // The code of a second the program ran in, as the token generator computes it for the screen.
        QStringList codes;
        for (qint64 t = run.firstSecond; t <= run.lastSecond; ++t) {
            codes.append(TokenGenerator(keys_.at(resource)).generateAt(t));
        }
        QVERIFY2(codes.contains(printed), qPrintable(printed + QStringLiteral(" not in ") + codes.join(u' ')));
        // And the server's own check of a code accepts it.
        QCOMPARE(serverVerdict(world_->server, resource, printed), 0);
    } else {
        QCOMPARE(run.out, out);
    }

    // Nothing was written, made or deleted, not even a damaged file or a leftover script.
    const Snapshot after = snapshot(home.path());
    QVERIFY2(after == before,
             qPrintable(QStringLiteral("before:\n") + describe(before) + QStringLiteral("after:\n") + describe(after)));
}

void TestCodeCommand::worksBesideARunningProgram()
{
    TestHome home;
    store(home.path(), Stored::SignedIn);
    QProcessEnvironment env = programEnvironment(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess running;
    running.setProcessEnvironment(env);
    running.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    running.start(QStringLiteral(VELTRANE_PROGRAM_EXE), QStringList());
    QVERIFY(running.waitForStarted());

    // The running program holds the guard and listens beside it; a request it does not know makes it close the
    // connection from its event loop, so start-up (log lines, pauses, first screen) is over once that happens.
    Platform::InstanceGuard guard(QStringLiteral("61BB200D-3579-453e-9044-"));
    QLocalSocket socket;
    QVERIFY(QTest::qWaitFor(
        [&] {
            socket.connectToServer(guard.channelName());
            return socket.waitForConnected(1000);
        },
        60000));
    socket.write("ping\n");
    QVERIFY(socket.waitForBytesWritten(30000));
    QVERIFY(socket.waitForDisconnected(60000));
    QVERIFY(!guard.acquire());
    const Snapshot before = snapshot(home.path());

    const Run list = runProgram(home.path(), {QStringLiteral("--list")});
    QCOMPARE(list.err, QString());
    QCOMPARE(list.status, 0);
    QVERIFY(list.out.startsWith(QLatin1String("Mail Gateway\t")));
    const Run code = runProgram(home.path(), {QStringLiteral("--code")});
    QCOMPARE(code.err, QString());
    QCOMPARE(code.status, 0);
    QCOMPARE(serverVerdict(world_->server, QStringLiteral("Mail Gateway"), code.out.trimmed()), 0);

    QCOMPARE(running.state(), QProcess::Running);
    QVERIFY(!guard.acquire());
    QCOMPARE(snapshot(home.path()), before);
    running.kill();
    QVERIFY(running.waitForFinished());
}

void TestCodeCommand::waitsForTheNextStep_data()
{
    QTest::addColumn<int>("secondOfStep");
    // -1: the option is not given.
    QTest::addColumn<int>("minValidity");
    // Seconds from the time set to the printed code's second.
    QTest::addColumn<int>("waited");

    QTest::newRow("without the option, at once") << 29 << -1 << 0;
    QTest::newRow("enough left, at once") << 5 << 10 << 0;
    QTest::newRow("just enough left, at once") << 20 << 10 << 0;
    QTest::newRow("too little left, the next step") << 21 << 10 << 9;
    QTest::newRow("a whole step at its first second") << 0 << 30 << 0;
    QTest::newRow("a whole step a second late") << 1 << 30 << 29;
}

// The wait and the code, with an injected clock: the waiting moves the clock, and the printed code is the one the
// token screen shows at that second.
void TestCodeCommand::waitsForTheNextStep()
{
    QFETCH(int, secondOfStep);
    QFETCH(int, minValidity);
    QFETCH(int, waited);

    const QDateTime stepStart = QDateTime::fromSecsSinceEpoch(qint64(1797000000) / 30 * 30, Qt::UTC);
    MockClock clock(stepStart.addSecs(secondOfStep));
    ScreenFixture fixture;
    ResourceRecord record;
    record.resourceName = QStringLiteral("Mail Gateway");
    record.userName = kUser;
    record.groupName = QStringLiteral("Office");
    record.tokenKey = keys_.at(record.resourceName);
    fixture.storeLogin({record});

    QStringList arguments{QStringLiteral("--code")};
    if (minValidity >= 0) {
        arguments << QStringLiteral("--min-validity") << QString::number(minValidity);
    }
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QList<qint64> waits;
    const int status = CodeCommand::run(arguments, outStream, errStream, [&](qint64 second) {
        waits.append(second);
        clock.set(QDateTime::fromSecsSinceEpoch(second, Qt::UTC));
    });
    QCOMPARE(err, QString());
    QCOMPARE(status, 0);
    const qint64 printedSecond = stepStart.toSecsSinceEpoch() + secondOfStep + waited;
    QCOMPARE(waits, waited == 0 ? QList<qint64>() : QList<qint64>{printedSecond});

    // The token screen, started at that second, shows the same code.
    fixture.start();
    auto* token = qobject_cast<Tokendetails*>(fixture.controller->tokenScreen());
    QVERIFY(token);
    QCOMPARE(out, token->displayedCode() + QLatin1Char('\n'));
    QCOMPARE(token->displayedCode(), TokenGenerator(record.tokenKey).generateAt(printedSecond));
}

QTEST_MAIN(TestCodeCommand)
#include "tst_codecommand.moc"
