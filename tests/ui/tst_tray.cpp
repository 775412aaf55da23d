// The tray presence. On the offscreen platform: the menu, the balloon, activation, About and Exit's question. As a
// real process under Xvfb: the icon embedded in a real tray host (trayer), a double click and a right click on
// it, the balloon at the icon, and the presence where no tray exists; on a StatusNotifierItem host (a watcher on a
// private session bus): activation, the context menu request and the icon during the balloon; and trays of both
// kinds that start after the program. With screenshots of the tray menus, the settings window and the no-tray
// presence.
#include "core/SharedText.h"
#include "support/ProcessReport.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "support/ScreenFixture.h"
#include "support/SessionBus.h"
#include "support/XSession.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/tray/systemTray.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTextDocument>

#include <functional>
#include <memory>

namespace {
const QString kArtifacts = QStringLiteral(VELTRANE_BINARY_DIR "/artifacts");

// The program as a process (the start-up harness, or another line-driven helper), driven by its standard input
// and output.
class Program {
public:
    explicit Program(const QProcessEnvironment& env, const QString& path = QStringLiteral(VELTRANE_STARTUP_HARNESS),
                     const QStringList& arguments = {})
    {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(path, arguments);
        process.waitForStarted();
        process.report().setReadOutput([this] { return output; });
    }
    ~Program()
    {
        process.printReportIfFailed();
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
    // Asks with command until the answer (the line starting with prefix) satisfies done; the last answer.
    QString askUntil(const QByteArray& command, const QByteArray& prefix,
                     const std::function<bool(const QString&)>& done, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        QString answer;
        do {
            process.write(command + '\n');
            answer = waitForLine(prefix);
            if (done(answer)) {
                break;
            }
            QTest::qWait(100);
        } while (!deadline.hasExpired());
        return answer;
    }
    QString askUntil(const QByteArray& command, const QByteArray& prefix, const QString& expected)
    {
        return askUntil(command, prefix, [&expected](const QString& answer) { return answer.contains(expected); });
    }

    // Before the process, whose report prints it.
    QByteArray output;
    ProgramProcess process;
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
// Takes screenshots into `name` until `shows` holds for the picture, for at most `timeoutMs`: a panel or a menu is
// drawn a moment after it is mapped. The last picture stays as the artefact.
template <typename Shows>
bool screenshotUntil(const XSession& x, const QString& name, Shows shows, int timeoutMs = 15000)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (screenshot(x, name) && shows(QImage(kArtifacts + QLatin1Char('/') + name))) {
            return true;
        }
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return false;
}

// Pixels of the program's icon (a blue shield) in the top panel strip of a screenshot that were not there before,
// right of the program's window (550 pixels wide, at the top left corner).
QRect newBluePixels(const QImage& before, const QImage& after, int stripHeight)
{
    QRect found;
    for (int y = 0; y < stripHeight && y < after.height(); ++y) {
        for (int x = 560; x < after.width(); ++x) {
            const QColor now = after.pixelColor(x, y);
            const bool blue = now.blue() > 150 && now.blue() > now.red() + 60;
            if (blue && before.pixel(x, y) != after.pixel(x, y)) {
                found |= QRect(x, y, 1, 1);
            }
        }
    }
    return found;
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
    void statusNotifierHost();
    void xfcePanel();
    void trayStartedAfterTheProgram_data();
    void trayStartedAfterTheProgram();

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

    // The start-up balloon points at the icon, not at the top left corner where the icon was before trayer placed it.
    const QString balloon = program.askUntil(
        "balloon", "BALLOON", [](const QString& answer) { return answer != QStringLiteral("BALLOON none"); });
    const QStringList balloonPlace = balloon.split(QLatin1Char(' '));
    QVERIFY2(balloonPlace.size() == 5, qPrintable(balloon));
    const QRect balloonRect(balloonPlace[1].toInt(), balloonPlace[2].toInt(), balloonPlace[3].toInt(),
                            balloonPlace[4].toInt());
    const QPoint iconCentre(place.captured(1).toInt() + 11, place.captured(2).toInt() + 11);
    QVERIFY2(balloonRect.adjusted(-40, -40, 40, 40).contains(iconCentre), qPrintable(balloon));
    QVERIFY(screenshot(x, QStringLiteral("tray-balloon.png")));

    // The taskbar entry and the window lists name the program, also where a tray exists.
    program.process.write("winid\n");
    QByteArray title;
    QVERIFY(run(x, QStringLiteral("xprop"),
                {QStringLiteral("-id"), program.waitForLine("WINID").section(QLatin1Char(' '), 1),
                 QStringLiteral("_NET_WM_NAME")},
                &title));
    QCOMPARE(title.trimmed(), QByteArray("_NET_WM_NAME(UTF8_STRING) = \"Veltrane Auth\""));

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

void TestTray::statusNotifierHost()
{
    // A desktop whose only tray is a StatusNotifierItem host (as swaybar is: no XEmbed tray, no menus drawn).
    XSession x(XSession::WithoutTrayHost);
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    SessionBus bus;
    QVERIFY2(bus.isValid(), qPrintable(bus.error()));
    TestHome home;
    const Compositor compositor(x);
    Program host(bus.environment(x.environment()), QStringLiteral(VELTRANE_SNI_HOST));
    QVERIFY2(!host.waitForLine("WATCHER").isEmpty(), host.output.constData());
    Program program(bus.environment(x.environment()));
    QVERIFY2(!program.waitForLine("READY").isEmpty(), program.output.constData());
    QCOMPARE(program.waitForLine("PRESENCE"), QStringLiteral("PRESENCE tray"));
    QVERIFY2(!host.waitForLine("ITEM").isEmpty(), host.output.constData());

    // During the start-up balloon the item asks for attention, with the program's own picture as the attention
    // icon instead of a standard symbol.
    host.process.write("props\n");
    const QString props = host.waitForLine("PROPS");
    const QRegularExpressionMatch icons =
        QRegularExpression(QStringLiteral("^PROPS Status=NeedsAttention IconName= Icon=([0-9a-f]{32}) "
                                          "AttentionIconName= AttentionIcon=([0-9a-f]{32}) "))
            .match(props);
    QVERIFY2(icons.hasMatch(), qPrintable(props));
    QCOMPARE(icons.captured(2), icons.captured(1));

    // A single activation (a left click, or a double click, on such hosts) brings the hidden window back.
    program.process.write("hide\n");
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=0")));
    host.process.write("activate 900 10\n");
    QCOMPARE(host.waitForLine("CALLED"), QStringLiteral("CALLED Activate"));
    QVERIFY2(
        program.askUntil("state", "STATE", QStringLiteral("visible=1")).startsWith(QStringLiteral("STATE visible=1")),
        qPrintable(program.output));

    // A context menu request opens the tray menu at the pointer.
    QVERIFY(
        run(x, QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("700"), QStringLiteral("300")}));
    QVERIFY(screenshot(x, QStringLiteral("tray-menu-dbus.png")));
    const QImage beforeMenu(kArtifacts + QStringLiteral("/tray-menu-dbus.png"));
    host.process.write("context 700 300\n");
    QCOMPARE(host.waitForLine("CALLED"), QStringLiteral("CALLED ContextMenu"));
    const QString menu = program.askUntil("traymenu", "TRAYMENU", QStringLiteral("TRAYMENU 1"));
    QVERIFY2(menu.startsWith(QStringLiteral("TRAYMENU 1")), qPrintable(menu));
    const QStringList menuPlace = menu.split(QLatin1Char(' '));
    QVERIFY2(qAbs(menuPlace.value(2).toInt() - 700) < 200 && qAbs(menuPlace.value(3).toInt() - 300) < 200,
             qPrintable(menu));
    // The menu is drawn a moment after it is mapped: wait until most of its corner differs from the picture before.
    const QRect place(menuPlace.value(2).toInt(), menuPlace.value(3).toInt(), 40, 20);
    QVERIFY(screenshotUntil(x, QStringLiteral("tray-menu-dbus.png"), [&beforeMenu, place](const QImage& shot) {
        int changed = 0;
        for (int y = place.top(); y <= place.bottom(); ++y) {
            for (int xPos = place.left(); xPos <= place.right(); ++xPos) {
                changed += shot.pixel(xPos, y) != beforeMenu.pixel(xPos, y);
            }
        }
        return changed > place.width() * place.height() / 2;
    }));
    QVERIFY(run(x, QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}));
}

void TestTray::xfcePanel()
{
    // Xfce's own panel, whose tray takes StatusNotifierItems over the session bus and draws their menus itself.
    if (QStandardPaths::findExecutable(QStringLiteral("xfce4-panel")).isEmpty()) {
        QSKIP("xfce4-panel is not installed");
    }
    XSession x(XSession::WithoutTrayHost);
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    SessionBus bus;
    QVERIFY2(bus.isValid(), qPrintable(bus.error()));
    TestHome home;
    const QProcessEnvironment env = bus.environment(x.environment());
    // No window manager runs here: the panel is told not to wait for one.
    const Program panel(env, QStringLiteral("xfce4-panel"), {QStringLiteral("--disable-wm-check")});
    QVERIFY(panel.process.state() == QProcess::Running);
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), QStringLiteral("xfce-test"));
    // The connection and the interface descriptions it caches go with the test, not at exit.
    const auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("xfce-test")); });
    // A plain property read: a QDBusInterface would build a meta object from the watcher's description, which Qt
    // keeps until the process exits.
    auto hostRegistered = [&connection] {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = connection.call(call);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toBool();
    };
    QTRY_VERIFY_WITH_TIMEOUT(hostRegistered(), 30000);
    // The panel draws itself a moment after it has its tray: the picture counts once two in a row are the same.
    QImage before;
    QVERIFY(screenshotUntil(x, QStringLiteral("xfce-panel-before.png"), [&before](const QImage& shot) {
        const bool settled = !before.isNull() && shot == before;
        before = shot;
        return settled;
    }));

    Program program(env);
    QVERIFY2(!program.waitForLine("READY").isEmpty(), program.output.constData());
    QCOMPARE(program.waitForLine("PRESENCE"), QStringLiteral("PRESENCE tray"));

    // The program's icon appears in the panel's strip at the top of the screen.
    QRect icon;
    const QDeadlineTimer deadline(15000);
    while (icon.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(300);
        QVERIFY(screenshot(x, QStringLiteral("xfce-panel.png")));
        icon = newBluePixels(before, QImage(kArtifacts + QStringLiteral("/xfce-panel.png")), 27);
    }
    QVERIFY2(!icon.isEmpty() && icon.width() < 40, "the icon did not appear in the panel");

    // A left click (the panel sends Activate) brings the hidden window back.
    program.process.write("hide\n");
    QVERIFY(program.state().startsWith(QStringLiteral("STATE visible=0")));
    const QStringList atIcon{QStringLiteral("mousemove"), QString::number(icon.center().x()),
                             QString::number(icon.center().y())};
    QVERIFY(run(x, QStringLiteral("xdotool"), atIcon + QStringList{QStringLiteral("click"), QStringLiteral("1")}));
    const QString state = program.askUntil("state", "STATE", QStringLiteral("visible=1"));
    QVERIFY2(state.startsWith(QStringLiteral("STATE visible=1")), qPrintable(state));

    // A right click opens the menu the panel draws from the exported one; the program opens none of its own.
    QVERIFY(run(x, QStringLiteral("xdotool"), atIcon + QStringList{QStringLiteral("click"), QStringLiteral("3")}));
    const auto menuBelowIcon = [&before, &icon](const QImage& withMenu) {
        int changed = 0;
        for (int y = 30; y < 120; ++y) {
            for (int xPos = qMax(0, icon.center().x() - 150); xPos < qMin(withMenu.width(), icon.center().x() + 150);
                 ++xPos) {
                changed += withMenu.pixel(xPos, y) != before.pixel(xPos, y);
            }
        }
        return changed > 2000;
    };
    QVERIFY2(screenshotUntil(x, QStringLiteral("tray-menu-xfce.png"), menuBelowIcon),
             "no menu was drawn below the icon");
    QCOMPARE(program.askUntil("traymenu", "TRAYMENU", QStringLiteral("TRAYMENU 0")), QStringLiteral("TRAYMENU 0"));
    QVERIFY(run(x, QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}));
}

void TestTray::trayStartedAfterTheProgram_data()
{
    QTest::addColumn<bool>("statusNotifier");
    QTest::newRow("StatusNotifierItem host") << true;
    QTest::newRow("XEmbed tray") << false;
}

void TestTray::trayStartedAfterTheProgram()
{
    QFETCH(bool, statusNotifier);
    XSession x(XSession::WithoutTrayHost);
    QVERIFY2(x.isValid(), qPrintable(x.error()));
    SessionBus bus;
    QVERIFY2(bus.isValid(), qPrintable(bus.error()));
    TestHome home;
    Program program(bus.environment(x.environment()));
    QVERIFY2(!program.waitForLine("READY").isEmpty(), program.output.constData());
    QCOMPARE(program.waitForLine("PRESENCE"), QStringLiteral("PRESENCE none"));
    QVERIFY(!program.waitForLine("MENU").isEmpty());

    // The panel starts after the program, as it may in a session's autostart race.
    std::unique_ptr<Program> host;
    if (statusNotifier) {
        host = std::make_unique<Program>(bus.environment(x.environment()), QStringLiteral(VELTRANE_SNI_HOST));
        QVERIFY2(!host->waitForLine("WATCHER").isEmpty(), host->output.constData());
    } else {
        QVERIFY2(x.addTrayHost(), qPrintable(x.error()));
    }
    QCOMPARE(program.waitForLine("TRAYAPPEARED", 10000), QStringLiteral("TRAYAPPEARED"));
    if (statusNotifier) {
        QVERIFY2(!host->waitForLine("ITEM", 10000).isEmpty(), host->output.constData());
    } else {
        // Docked: trayer has placed the icon in its panel at the top right corner.
        const QString icon = program.askUntil("trayicon", "TRAYICON", [](const QString& answer) {
            return answer.section(QLatin1Char(' '), 1, 1).toInt() > 512;
        });
        QVERIFY2(icon.section(QLatin1Char(' '), 1, 1).toInt() > 512, qPrintable(icon));
    }

    // The no-tray mode has ended: no tray menu on the window, and Close hides the window to the tray again.
    QVERIFY(program.state().endsWith(QStringLiteral("menu=")));
    program.process.write("close\n");
    const QString box = program.waitForLine("BOX");
    QVERIFY2(box.endsWith(QStringLiteral(" parent ") + SharedText::get().msgRunsInTray), qPrintable(box));
    const QString state = program.askUntil("state", "STATE", QStringLiteral("visible=0"));
    QVERIFY2(state.startsWith(QStringLiteral("STATE visible=0 minimized=0")), qPrintable(state));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
