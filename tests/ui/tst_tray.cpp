// The tray presence. On the offscreen platform: the menu, the balloon, activation, About and Exit's question. As a
// real process under Xvfb: the icon embedded in a real tray host (trayer), a double click and a right click on
// it, and the presence where no tray exists; with screenshots of the tray menu, the settings window and the no-tray
// presence.
#include "app/AppController.h"
#include "app/BaseScreen.h"
#include "app/SharedText.h"
#include "support/ScreenFixture.h"
#include "support/XSession.h"
#include "ui/tray/systemTray.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

namespace {
const QString kArtifacts = QStringLiteral(VELTRANE_BINARY_DIR "/artifacts");

// The program as a process (the start-up harness), driven by its standard input and output.
class Program {
public:
    explicit Program(const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(VELTRANE_STARTUP_HARNESS), QStringList());
        process.waitForStarted();
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished();
    }
    // Waits for a line that starts with prefix; returns it (empty when none came).
    QString waitForLine(const QByteArray& prefix, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (true) {
            qsizetype at = 0;
            while (true) {
                const qsizetype end = output.indexOf('\n', at);
                if (end < 0) {
                    break;
                }
                const QByteArray line = output.mid(at, end - at);
                if (line.startsWith(prefix)) {
                    output.remove(0, end + 1);
                    return QString::fromUtf8(line);
                }
                at = end + 1;
            }
            if (deadline.hasExpired()) {
                return QString();
            }
            const bool running = process.state() == QProcess::Running;
            process.waitForReadyRead(200);
            const QByteArray more = process.readAllStandardOutput();
            if (more.isEmpty() && !running) {
                return QString();
            }
            output += more;
        }
    }
    QString state()
    {
        process.write("state\n");
        return waitForLine("STATE");
    }

    QProcess process;
    QByteArray output;
};

bool run(const XSession& x, const QString& program, const QStringList& arguments, QByteArray* out = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(x.environment());
    process.start(program, arguments);
    if (!process.waitForFinished(15000)) {
        return false;
    }
    if (out) {
        *out = process.readAllStandardOutput();
    }
    return process.exitCode() == 0;
}

// A compositor, so that the translucent container shows in screenshots as on a desktop.
class Compositor {
public:
    explicit Compositor(const XSession& x)
    {
        process_.setProcessEnvironment(x.environment());
        process_.start(QStringLiteral("xcompmgr"), QStringList());
        process_.waitForStarted();
    }
    ~Compositor()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }

private:
    QProcess process_;
};

bool screenshot(const XSession& x, const QString& name)
{
    QDir().mkpath(kArtifacts);
    return run(x, QStringLiteral("import"),
               {QStringLiteral("-window"), QStringLiteral("root"), kArtifacts + QLatin1Char('/') + name});
}
} // namespace

class TestTray : public QObject {
    Q_OBJECT

private slots:
    void menuIconAndBalloon();
    void activation_data();
    void activation();
    void aboutBox();
    void exitQuestion_data();
    void exitQuestion();
    void embeddedInARealTray();
    void presenceWithoutTray();
    void alwaysTopReachesTheWindowState();

private:
    static QList<systemTray::Balloon> balloons;
};

QList<systemTray::Balloon> TestTray::balloons;

void TestTray::menuIconAndBalloon()
{
    balloons.clear();
    systemTray::setBalloonSink([](const systemTray::Balloon& balloon) { balloons.append(balloon); });
    ScreenFixture fixture;
    systemTray::setBalloonSink({});
    systemTray* tray = fixture.screens.tray;

    QStringList entries;
    for (const QAction* action : tray->trayMenu->actions()) {
        entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    QCOMPARE(entries, (QStringList{"&Show Veltrane Auth", "-", "&About", "-", "E&xit"}));
    QCOMPARE(tray->trayIcon->contextMenu(), tray->trayMenu);
    QCOMPARE(tray->trayIcon->toolTip(), QStringLiteral("Veltrane Auth"));
    QVERIFY(!tray->trayIcon->icon().isNull());
    QVERIFY(!tray->windowIcon().isNull());

    const SharedText& text = SharedText::get();
    QCOMPARE(balloons.size(), 1);
    QCOMPARE(balloons.first().title, QStringLiteral("Veltrane Auth 1.0.7"));
    QCOMPARE(balloons.first().text, QChar(0x00A9) + text.copyrightLine);
    QCOMPARE(balloons.first().icon, QSystemTrayIcon::Information);
    QCOMPARE(balloons.first().durationMs, 151000);

    auto* close = tray->findChild<QPushButton*>(QStringLiteral("pBExit"));
    QVERIFY(close);
    QCOMPARE(close->toolTip(), QStringLiteral("Close"));
    QCOMPARE(close->geometry(), QRect(560, 10, 31, 23));
}

void TestTray::activation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("context request") << int(QSystemTrayIcon::Context) << false;
}

void TestTray::activation()
{
    QFETCH(int, reason);
    QFETCH(bool, shows);
    ScreenFixture fixture;
    fixture.start();
    BaseScreen* container = fixture.controller->container();
    container->hide();
    emit fixture.screens.tray->trayIcon->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(container->isVisible(), shows);

    // Show shows, also when the container is already shown (no toggle).
    fixture.screens.tray->showAction->trigger();
    QVERIFY(container->isVisible());
    fixture.screens.tray->showAction->trigger();
    QVERIFY(container->isVisible());
}

void TestTray::aboutBox()
{
    ScreenFixture fixture;
    fixture.screens.tray->aboutAction->trigger();
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::About);
    QCOMPARE(box.parent, static_cast<QWidget*>(fixture.screens.tray));
    QCOMPARE(box.title, QStringLiteral("About Veltrane Auth"));
    QCOMPARE(box.text, SharedText::get().aboutHtml);
    // What the box shows, as rich text: a development build says what it is, a build for a real server does not.
    QTextDocument shown;
    shown.setHtml(box.text);
    QVERIFY2(shown.toPlainText().contains(QStringLiteral("(development build, server 127.0.0.1)")) ==
                 bool(VELTRANE_EXPECT_DEVELOPMENT_BUILD),
             qPrintable(shown.toPlainText()));
    QVERIFY(shown.toPlainText().contains(QStringLiteral("Veltrane Auth 1.0.7")));
}

void TestTray::exitQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("exits");
    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("Escape or closing the box") << int(QMessageBox::Escape) << false;
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
}

void TestTray::exitQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, exits);
    ScreenFixture fixture;
    systemTray* tray = fixture.screens.tray;
    tray->trayIcon->show();
    fixture.boxes.answerNext(QMessageBox::StandardButton(answer));
    tray->exitAction->trigger();
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::Question);
    QCOMPARE(box.parent, static_cast<QWidget*>(tray));
    QCOMPARE(box.text, QStringLiteral("Do you want to exit Veltrane?"));
    QCOMPARE(box.defaultButton, QMessageBox::No);
    // The icon goes with a confirmed exit; the process's exit code is checked by the start-up test.
    QCOMPARE(!tray->trayIcon->isVisible(), exits);
}

void TestTray::embeddedInARealTray()
{
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    const Compositor compositor(x);
    Program program(x.environment());
    QVERIFY2(!program.waitForLine("READY").isEmpty(), program.output.constData());
    QCOMPARE(program.waitForLine("PRESENCE"), QStringLiteral("PRESENCE tray"));
    const QString trayWindow = program.waitForLine("TRAYWINDOW").section(QLatin1Char(' '), 1);
    QVERIFY(!trayWindow.isEmpty());
    QCOMPARE(program.waitForLine("MENU"), QStringLiteral("MENU &Show Veltrane Auth|-|&About|-|E&xit"));

    // Embedded: the icon's window has been reparented into trayer's panel at the top right of the screen.
    QByteArray tree;
    QVERIFY(run(x, QStringLiteral("xwininfo"), {QStringLiteral("-id"), trayWindow, QStringLiteral("-tree")}, &tree));
    const QRegularExpressionMatch parent =
        QRegularExpression(QStringLiteral("Parent window id: (0x[0-9a-f]+)(.*)")).match(QString::fromLatin1(tree));
    QVERIFY2(parent.hasMatch() && !parent.captured(2).contains(QStringLiteral("the root window")), tree.constData());
    QByteArray geometry;
    QVERIFY(run(x, QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), trayWindow}, &geometry));
    const QRegularExpressionMatch place =
        QRegularExpression(QStringLiteral("Position: (\\d+),(\\d+)")).match(QString::fromLatin1(geometry));
    QVERIFY2(place.hasMatch(), geometry.constData());
    QVERIFY2(place.captured(1).toInt() > 512 && place.captured(2).toInt() < 24, geometry.constData());

    // A single click does nothing; a double click shows the hidden container.
    program.process.write("hide\n");
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=0")));
    const QStringList atIcon{QStringLiteral("mousemove"), QStringLiteral("--window"), trayWindow, QStringLiteral("11"),
                             QStringLiteral("11")};
    QVERIFY(run(x, QStringLiteral("xdotool"), atIcon + QStringList{QStringLiteral("click"), QStringLiteral("1")}));
    QTest::qWait(600); // past the double-click interval: the click above stays single
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=0")));
    QVERIFY(run(x, QStringLiteral("xdotool"),
                atIcon + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                     QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
    QString state;
    for (int i = 0; i < 50 && !state.startsWith(QStringLiteral("STATE visible=1")); ++i) {
        QTest::qWait(100);
        state = program.state();
    }
    QVERIFY2(state.startsWith(QStringLiteral("STATE visible=1")), qPrintable(state));

    // A right click opens the menu.
    QVERIFY(run(x, QStringLiteral("xdotool"), atIcon + QStringList{QStringLiteral("click"), QStringLiteral("3")}));
    QTest::qWait(700);
    QVERIFY(screenshot(x, QStringLiteral("tray-menu.png")));
    QVERIFY(run(x, QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}));

    // The settings window as the login window opens it, in a real window.
    program.process.write("settings\n");
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=1")));
    QTest::qWait(500);
    QVERIFY(screenshot(x, QStringLiteral("settings-window.png")));
}

void TestTray::presenceWithoutTray()
{
    XSession x(XSession::WithoutTrayHost);
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    const Compositor compositor(x);
    Program program(x.environment());
    QVERIFY2(!program.waitForLine("READY").isEmpty(), program.output.constData());
    QCOMPARE(program.waitForLine("PRESENCE"), QStringLiteral("PRESENCE none"));
    QVERIFY(!program.output.contains("BOX"));
    QCOMPARE(program.state(),
             QStringLiteral("STATE visible=1 minimized=0 x=0 y=0 menu=&Show Veltrane Auth|-|&About|-|E&xit"));

    // The tray's menu on a right click on the container.
    QVERIFY(run(x, QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("540"), QStringLiteral("190"), QStringLiteral("click"),
                 QStringLiteral("3")}));
    QTest::qWait(700);
    QVERIFY(screenshot(x, QStringLiteral("presence-without-tray.png")));
    QVERIFY(run(x, QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}));

    // Close minimises without the "runs in the tray" box; Show brings the window back.
    program.process.write("close\n");
    QString state;
    for (int i = 0; i < 50 && !state.contains(QStringLiteral("minimized=1")); ++i) {
        QTest::qWait(100);
        state = program.state();
    }
    QVERIFY2(state.contains(QStringLiteral("minimized=1")), qPrintable(state));
    QVERIFY(!program.output.contains("BOX"));
    program.process.write("show\n");
    state.clear();
    for (int i = 0; i < 50 && !state.startsWith(QStringLiteral("STATE visible=1 minimized=0")); ++i) {
        QTest::qWait(100);
        state = program.state();
    }
    QVERIFY2(state.startsWith(QStringLiteral("STATE visible=1 minimized=0")), qPrintable(state));

    // The login window's own Close button minimises the window too.
    program.process.write("closebutton\n");
    state.clear();
    for (int i = 0; i < 50 && !state.contains(QStringLiteral("minimized=1")); ++i) {
        QTest::qWait(100);
        state = program.state();
    }
    QVERIFY2(state.startsWith(QStringLiteral("STATE visible=1 minimized=1")), qPrintable(state));
}

void TestTray::alwaysTopReachesTheWindowState()
{
    XSession x;
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    TestHome home;
    Program program(x.environment());
    QVERIFY2(!program.waitForLine("MENU").isEmpty(), program.output.constData());
    program.process.write("move 200 150\n");
    auto windowState = [&] {
        program.process.write("winid\n");
        const QString id = program.waitForLine("WINID").section(QLatin1Char(' '), 1);
        QByteArray out;
        run(x, QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_STATE")}, &out);
        return out;
    };
    QVERIFY(!windowState().contains("_NET_WM_STATE_ABOVE"));

    program.process.write("ontop 1\n");
    QTRY_VERIFY2(windowState().contains("_NET_WM_STATE_ABOVE"), windowState().constData());
    // The window stays where the user put it, and shown.
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=1 minimized=0 x=200 y=150")));

    program.process.write("ontop 0\n");
    QTRY_VERIFY2(!windowState().contains("_NET_WM_STATE_ABOVE"), windowState().constData());
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=1 minimized=0 x=200 y=150")));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
