#include "core/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/AuthTransaction.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "support/FakeCoreServices.h"
#include "support/ProcessReport.h"
#include "support/TestHome.h"
#include "support/XSession.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTest>

// The program's start-up in a real X session with stored files as a previous sign-in left them: the token screen
// comes up with the stored resource, and its picture is kept in the build tree for a person to look at.
class TestTokenXSession : public QObject {
    Q_OBJECT

private slots:
    void tokenScreenAtStart_data();
    void tokenScreenAtStart();

private:
    static QString run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env);
};

namespace {
bool hasWhiteText(const QImage& shot)
{
    for (int y = 40; y < 60; ++y) {
        for (int x = 104; x < 220; ++x) {
            if (qGray(shot.pixel(x, y)) > 200) {
                return true;
            }
        }
    }
    return false;
}
} // namespace

QString TestTokenXSession::run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void TestTokenXSession::tokenScreenAtStart_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("resource");
    const QString mail = QStringLiteral("Mail Gateway");
    QTest::newRow("key") << QStringLiteral("P5W8TESTKEY") << mail;
    QTest::newRow("expired-token") << QStringLiteral("-1") << mail;
    QTest::newRow("expired-registration") << QStringLiteral("-2") << mail;
    // A name from the server is drawn as its characters, never as markup.
    QTest::newRow("markup-name") << QStringLiteral("P5W8TESTKEY") << QStringLiteral("<u>Pay</u>");
}

void TestTokenXSession::tokenScreenAtStart()
{
    QFETCH(QString, key);
    QFETCH(QString, resource);
    TestHome home;
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    // Taken after HOME points at the test's home.
    const QProcessEnvironment env = x.environment();
    // The container is translucent: a compositor paints what lies behind it.
    QProcess compositor;
    compositor.setProcessEnvironment(env);
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    compositor.waitForStarted(10000);

    {
        FakeCoreServices services(DeviceIdentity::collect(3, Platform::accountName()));
        QVERIFY(!services.identity.isEmpty());
        AuthTransaction session;
        session.loginUser = QStringLiteral("demo.user");
        session.loginPassword = QStringLiteral("demo-pass-2026");
        session.sessionId = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX");
        session.sessionKey = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF");
        session.saveLogin();
        ResourceStore().save(
            {ResourceRecord{resource, QStringLiteral("demo.user@example.com"), QStringLiteral("Remote Access"), key},
             ResourceRecord{QStringLiteral("VPN Z\u00FCrich"), QStringLiteral("demo.user"),
                            QStringLiteral("Remote Access"), QStringLiteral("K2")}});
    }

    // The test's runtime folder (tests/support/run-with-home.sh) holds the single-instance lock, so no other instance
    // on this machine (another test, a demo) stands in the way.
    QByteArray seen;
    ProgramProcess program;
    program.report().setReadOutput([&seen] { return seen; });
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VELTRANE_STARTUP_HARNESS), QStringList());
    QVERIFY(program.waitForStarted(10000));
    while (!seen.contains("READY") && program.waitForReadyRead(30000)) {
        seen += program.readAllStandardOutput();
    }
    QVERIFY2(seen.contains("READY"), seen.constData());
    // No box: the stored login is valid and the token screen is the first screen.
    QCOMPARE(seen.left(seen.indexOf("READY")), QByteArray());

    const QString window = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--pid"), QString::number(program.processId())},
                               env)
                               .section(QLatin1Char('\n'), 0, 0);
    QVERIFY(!window.isEmpty());
    // X=..., Y=... of the container on the root window.
    QPoint origin;
    const QStringList geometry =
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, env)
            .split(QLatin1Char('\n'));
    for (const QString& line : geometry) {
        if (line.startsWith(QLatin1String("X="))) {
            origin.setX(line.mid(2).toInt());
        } else if (line.startsWith(QLatin1String("Y="))) {
            origin.setY(line.mid(2).toInt());
        }
    }
    const QString shotPath = QStringLiteral(VELTRANE_BINARY_DIR "/artefacts/token-xvfb-%1.png")
                                 .arg(QString::fromLatin1(QTest::currentDataTag()));
    QDir().mkpath(QFileInfo(shotPath).path());

    // The window is mapped before it is painted: wait until the token panel (dark) and the tag (light) show, and
    // the code or the scrolling notice has white characters in the display window.
    // The root window is taken, as the compositor shows it; the translucent window alone has no backdrop.
    QImage shot;
    const bool painted = QTest::qWaitFor(
        [&] {
            run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shotPath}, env);
            QImage root(shotPath);
            shot = root.copy(QRect(origin, QSize(550, 200)));
            return !shot.isNull() && qGray(shot.pixel(120, 110)) < 96 && qGray(shot.pixel(400, 40)) > 160 &&
                   hasWhiteText(shot);
        },
        30000);
    QVERIFY(shot.save(shotPath));
    QVERIFY2(painted, qPrintable(shotPath));

    program.kill();
    program.waitForFinished();
    compositor.kill();
    compositor.waitForFinished();
}

QTEST_GUILESS_MAIN(TestTokenXSession)
#include "tst_token_xsession.moc"
