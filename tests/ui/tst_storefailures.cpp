// Stores that cannot be written, met by a real sign-in against the development server: a full disk (a small tmpfs),
// a read-only data directory, a folder where login.dat or res.dat should be. The user is told once what could not
// be saved, the session goes on in memory (codes, Sync), and neither that Sync nor the next start calls the data
// corrupted.
#include "core/SharedText.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "support/ProcessReport.h"
#include "support/ScreenFixture.h"
#include "ui/login/MainWindow.h"
#include "ui/shell/AppController.h"
#include "ui/token/Tokendetails.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

const QString kDemoData = QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json");

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// What a test mounted, taken away again before its home is removed.
class Mounted {
public:
    ~Mounted()
    {
        if (!path.isEmpty()) {
            run(QStringLiteral("umount"), {QStringLiteral("-l"), path});
        }
    }
    QString path;
};

} // namespace

class TestStoreFailures : public QObject {
    Q_OBJECT

private slots:
    void failedSavesAreToldNeverCorrupted_data();
    void failedSavesAreToldNeverCorrupted();
};

void TestStoreFailures::failedSavesAreToldNeverCorrupted_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("loginUnsaved");
    QTest::addColumn<bool>("resourcesUnsaved");
    QTest::newRow("full disk") << QStringLiteral("full") << true << true;
    QTest::newRow("read-only data directory") << QStringLiteral("readonly") << true << true;
    QTest::newRow("login.dat is a directory") << QStringLiteral("login.dat") << true << false;
    QTest::newRow("res.dat is a directory") << QStringLiteral("res.dat") << false << true;
}

void TestStoreFailures::failedSavesAreToldNeverCorrupted()
{
    QFETCH(QString, fault);
    QFETCH(bool, loginUnsaved);
    QFETCH(bool, resourcesUnsaved);
    const bool mayMount = qEnvironmentVariableIsSet("VELTRANE_PRIVATE_MOUNTS");
    const SharedText& text = SharedText::get();

    DevServer server;
    QVERIFY2(server.startWithFile(kDemoData), qPrintable(server.errorOutput()));
    ScreenFixture fixture;
    fixture.useServer(server);
    const QString dataDir = fixture.home.dataDir();
    Mounted mounted;
    if (fault == QLatin1String("full")) {
        if (!mayMount) {
            QSKIP("needs root and a private mount namespace for a small tmpfs");
        }
        QVERIFY(run(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=256k,mode=0700"), QStringLiteral("veltrane-full"), dataDir}));
        mounted.path = dataDir;
        // Filled to the last page: every later write into the folder fails with "no space left".
        QFile filler(dataDir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size()) {
        }
        filler.close();
    } else if (fault == QLatin1String("readonly")) {
        if (geteuid() == 0) {
            // Root writes through any file mode; a read-only bind holds for root too.
            if (!mayMount) {
                QSKIP("needs a private mount namespace to make a folder read-only for root");
            }
            QVERIFY(run(QStringLiteral("mount"), {QStringLiteral("--bind"), dataDir, dataDir}));
            mounted.path = dataDir;
            QVERIFY(run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), dataDir}));
        } else {
            QVERIFY(QFile::setPermissions(dataDir, QFile::ReadOwner | QFile::ExeOwner));
        }
    } else {
        QVERIFY(QDir(dataDir).mkdir(fault));
    }

    fixture.start();
    MainWindow* window = fixture.screens.loginWindow;
    Tokendetails* token = fixture.screens.tokenScreen;
    window->findChild<QLineEdit*>(QStringLiteral("leUserName"))->setText(QStringLiteral("demo.user"));
    window->findChild<QLineEdit*>(QStringLiteral("lePassword"))->setText(QStringLiteral("demo-pass-2026"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("pBLogin")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window->chainInFlight(), 30000);

    // Each store that could not be written is named once, although a sign-in writes login.dat twice.
    QStringList told;
    if (loginUnsaved) {
        told.append(text.msgLoginNotSaved);
    }
    if (resourcesUnsaved) {
        told.append(text.msgResourcesNotSaved);
    }
    QCOMPARE(fixture.boxes.texts(), told);
    for (const MessageBox::Request& box : fixture.boxes.boxes) {
        QCOMPARE(box.icon, QMessageBox::Critical);
    }
    // The session goes on in memory.
    QVERIFY(token->isVisible());
    QCOMPARE(resourceList().size(), 3);

    // Sync works from the session in memory and says nothing new: above all not that the data were corrupted.
    fixture.boxes.clear();
    auto* sync = token->findChild<QPushButton*>(QStringLiteral("pBSync"));
    QVERIFY(QMetaObject::invokeMethod(token, "on_pBSync_clicked"));
    QTRY_VERIFY_WITH_TIMEOUT(sync->isEnabled(), 30000);
    QVERIFY2(fixture.boxes.texts().isEmpty(), qPrintable(fixture.boxes.texts().join(QLatin1Char('\n'))));
    QVERIFY(token->isVisible());
    QCOMPARE(resourceList().size(), 3);

    // The next start finds no usable stored login, and calls nothing corrupted.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), fixture.home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELTRANE_HARNESS_QUIT_WHEN_READY"), QStringLiteral("1"));
    ProgramProcess restart;
    restart.setProcessEnvironment(env);
    restart.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    restart.start(QStringLiteral(VELTRANE_STARTUP_HARNESS));
    QVERIFY(restart.waitForFinished(60000));
    const QByteArray output = restart.readAllStandardOutput();
    QCOMPARE(restart.exitCode(), 0);
    QVERIFY2(!output.contains("BOX"), output.constData());
    QVERIFY2(output.contains("READY login=shown token=hidden"), output.constData());
}

QTEST_MAIN(TestStoreFailures)
#include "tst_storefailures.moc"
