// The container as a real window of the real program on a private X server: dragged under a real window manager
// (openbox), which must do the move itself; shaped over a white desktop while no compositing manager runs, and
// blended again once one (xcompmgr) does; and, with no display to reach, a message and exit code 1 instead of Qt's
// abort. Under sway (headless, with XWayland) the window is shown; the drag there cannot be driven (see underSway).
#include "e2e/ProgramRun.h"
#include "support/DesktopDriver.h"
#include "support/ProcessReport.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {
const QString kArtifacts = QStringLiteral(VELTRANE_BINARY_DIR "/artifacts");
// A point of the login window's panel that no button or field covers: a press there reaches the container.
const QPoint kPanelPoint(240, 120);

bool xdotool(const Desktop::Session& desktop, const QStringList& arguments)
{
    return Desktop::run(desktop.environment(), QStringLiteral("xdotool"), arguments).exitCode == 0;
}

// A window manager has taken the screen once the root window names its check window.
bool windowManagerReady(const Desktop::Session& desktop)
{
    const Desktop::CommandResult root =
        Desktop::run(desktop.environment(), QStringLiteral("xprop"),
                     {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    return root.exitCode == 0 && root.output.contains("window id");
}

QRect containerGeometry(const Desktop::Session& desktop, const ProgramRun& program)
{
    const QList<Desktop::Window> windows = desktop.visibleWindows(program.pid());
    for (const Desktop::Window& window : windows) {
        if (window.geometry.size() == QSize(550, 200)) {
            return window.geometry;
        }
    }
    return {};
}

// Openbox's configuration for the drag: its defaults, but the small popup that shows the window's place is shown
// during every move (by default only for windows that size in steps). That popup is how the test sees that the
// window manager has taken the drag over.
const char kOpenboxConfig[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                              "  <resize><popupShow>Always</popupShow></resize>\n"
                              "</openbox_config>\n";

// The ids of the mapped top-level windows.
QStringList mappedTopLevels(const Desktop::Session& desktop)
{
    const Desktop::CommandResult found =
        Desktop::run(desktop.environment(), QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--maxdepth"),
                      QStringLiteral("1"), QStringLiteral("--class"), QString()});
    return QString::fromLatin1(found.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Moves the pointer a pixel and back: the window manager follows the pointer from the first motion it sees after
// it took over the drag, which may come after the last step of a fast hand.
void nudge(const Desktop::Session& desktop)
{
    xdotool(desktop,
            {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("1"), QStringLiteral("0"),
             QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("-1"), QStringLiteral("0")});
}

// Presses the left button on the panel and moves the pointer a pixel, which makes the program hand the drag to the
// window manager, and holds the pointer there until the window manager has it (its popup is mapped). The window
// manager's move starts from the pointer's place in the motion that the program handled; a hand that went on at
// once would be ahead of it on a busy machine, where the toolkit merges the motions it reads late into the last.
bool grab(const Desktop::Session& desktop, const Desktop::Window& container, const ProgramRun& program)
{
    const QStringList before = mappedTopLevels(desktop);
    if (!xdotool(desktop, {QStringLiteral("mousemove"), QStringLiteral("--window"), container.id,
                           QString::number(kPanelPoint.x()), QString::number(kPanelPoint.y()),
                           QStringLiteral("mousedown"), QStringLiteral("1")}) ||
        !xdotool(desktop, {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("1"),
                           QStringLiteral("1")})) {
        return false;
    }
    return Desktop::waitUntil(
        [&] {
            nudge(desktop);
            QStringList added = mappedTopLevels(desktop);
            for (const QString& id : before) {
                added.removeAll(id);
            }
            for (const Desktop::Window& own : desktop.visibleWindows(program.pid())) {
                added.removeAll(own.id);
            }
            return !added.isEmpty();
        },
        kStepTimeoutMs);
}

// Moves the pointer by `steps` times `step`, as a hand does.
bool moveBy(const Desktop::Session& desktop, int steps, const QPoint& step)
{
    for (int i = 0; i < steps; ++i) {
        if (!xdotool(desktop, {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QString::number(step.x()),
                               QString::number(step.y())})) {
            return false;
        }
    }
    return true;
}

// The screen as the desktop shows it (a compositor's drawing included).
QImage screen(const Desktop::Session& desktop, const QString& name)
{
    QDir().mkpath(kArtifacts);
    const QString path = kArtifacts + QLatin1Char('/') + name;
    return desktop.screenshot(path) ? QImage(path) : QImage();
}

// The extents of the window's shape as the X server keeps it, in the window's coordinates: the whole window when
// it has none.
QRect shapeExtents(const Desktop::Session& desktop, const Desktop::Window& window)
{
    const Desktop::CommandResult info = Desktop::run(desktop.environment(), QStringLiteral("xwininfo"),
                                                     {QStringLiteral("-id"), window.id, QStringLiteral("-shape")});
    const QString text = QString::fromLatin1(info.output);
    if (text.contains(QStringLiteral("No window shape defined"))) {
        return QRect(QPoint(0, 0), window.geometry.size());
    }
    // "Window shape extents:  492x135+1+1"
    static const QRegularExpression extents(
        QStringLiteral("Window shape extents:\\s+(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)"));
    const QRegularExpressionMatch match = extents.match(text);
    if (!match.hasMatch()) {
        return {};
    }
    return QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                 match.captured(2).toInt());
}

// The first node of sway's tree with this name, searched through tiled and floating nodes.
QJsonObject swayNode(const QJsonObject& node, const QString& name)
{
    if (node.value(QStringLiteral("name")).toString() == name) {
        return node;
    }
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(key)).toArray()) {
            const QJsonObject found = swayNode(child.toObject(), name);
            if (!found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

bool near(const QPoint& a, const QPoint& b)
{
    return (a - b).manhattanLength() <= 2;
}
} // namespace

class TestWindowXSession : public QObject {
    Q_OBJECT

private slots:
    void dragUnderAWindowManager();
    void shapeWithoutCompositor();
    void underSway();
    void noDisplay_data();
    void noDisplay();
};

void TestWindowXSession::dragUnderAWindowManager()
{
    Desktop::Session desktop;
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString rc = config.filePath(QStringLiteral("rc.xml"));
    {
        QFile file(rc);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kOpenboxConfig);
    }
    const Desktop::Companion windowManager(desktop.environment(), QStringLiteral("openbox"),
                                           {QStringLiteral("--sm-disable"), QStringLiteral("--config-file"), rc});
    QVERIFY2(windowManager.error().isEmpty(), qPrintable(windowManager.error()));
    QVERIFY(Desktop::waitUntil([&] { return windowManagerReady(desktop); }, 15000));
    TestHome home;
    ProgramRun program(desktop, home.path());
    QVERIFY(program.start());
    const Desktop::Window container = program.waitForContainer(kStartTimeoutMs);
    QVERIFY2(container.isValid(), program.output().constData());
    // The window manager places the window before it settles.
    QRect before;
    QVERIFY(Desktop::waitUntil(
        [&] {
            const QRect now = containerGeometry(desktop, program);
            const bool settled = now.isValid() && now == before;
            before = now;
            return settled;
        },
        kStepTimeoutMs));

    // A drag moves the window with the pointer, the grabbed point staying under it.
    QVERIFY(grab(desktop, container, program));
    QVERIFY(moveBy(desktop, 10, QPoint(12, 8)));
    const QPoint expected = before.topLeft() + QPoint(120, 80);
    QVERIFY2(Desktop::waitUntil(
                 [&] {
                     nudge(desktop);
                     return near(containerGeometry(desktop, program).topLeft(), expected);
                 },
                 kStepTimeoutMs),
             qPrintable(QStringLiteral("at %1,%2, expected %3,%4")
                            .arg(containerGeometry(desktop, program).x())
                            .arg(containerGeometry(desktop, program).y())
                            .arg(expected.x())
                            .arg(expected.y())));
    QVERIFY(xdotool(desktop, {QStringLiteral("mouseup"), QStringLiteral("1")}));
    const QRect moved = containerGeometry(desktop, program);
    QVERIFY(near(moved.topLeft(), expected));
    QDir().mkpath(kArtifacts);
    QVERIFY(desktop.screenshot(kArtifacts + QStringLiteral("/window-dragged-openbox.png")));

    // The window manager does that move: Escape, which ends its move and puts the window back where the move
    // began, brings the window back while the button is still held. A move of the program's own would stay.
    QVERIFY(grab(desktop, container, program));
    QVERIFY(moveBy(desktop, 5, QPoint(-10, 6)));
    QVERIFY(Desktop::waitUntil(
        [&] {
            nudge(desktop);
            return near(containerGeometry(desktop, program).topLeft(), moved.topLeft() + QPoint(-50, 30));
        },
        kStepTimeoutMs));
    QVERIFY(xdotool(desktop, {QStringLiteral("key"), QStringLiteral("Escape")}));
    QVERIFY2(Desktop::waitUntil([&] { return containerGeometry(desktop, program).topLeft() == moved.topLeft(); },
                                kStepTimeoutMs),
             qPrintable(QStringLiteral("at %1,%2")
                            .arg(containerGeometry(desktop, program).x())
                            .arg(containerGeometry(desktop, program).y())));
    QVERIFY(xdotool(desktop, {QStringLiteral("mouseup"), QStringLiteral("1")}));
}

void TestWindowXSession::shapeWithoutCompositor()
{
    Desktop::Session desktop;
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    QCOMPARE(Desktop::run(desktop.environment(), QStringLiteral("xsetroot"),
                          {QStringLiteral("-solid"), QStringLiteral("white")})
                 .exitCode,
             0);
    TestHome home;
    ProgramRun program(desktop, home.path());
    QVERIFY(program.start());
    const Desktop::Window container = program.waitForContainer(kStartTimeoutMs);
    QVERIFY2(container.isValid(), program.output().constData());
    const QRect place = containerGeometry(desktop, program);
    // The bottom right corner of the window: neither the background nor a screen draws there.
    const QPoint clear = place.topLeft() + QPoint(540, 190);
    const QPoint panel = place.topLeft() + kPanelPoint;
    // Below the panel, where only the background's faint shadow is drawn.
    const QPoint shadow = place.topLeft() + QPoint(150, 145);
    // Far from every window: the desktop itself.
    const QPoint desk(1000, 700);
    const QRgb white = qRgb(255, 255, 255);

    // No compositing manager: the desktop shows through the window's transparent parts, not black.
    QImage shot;
    QVERIFY2(Desktop::waitUntil(
                 [&] {
                     shot = screen(desktop, QStringLiteral("window-without-compositor.png"));
                     return !shot.isNull() && shot.pixel(clear) == white;
                 },
                 kStepTimeoutMs),
             qPrintable(QStringLiteral("pixel %1").arg(shot.isNull() ? 0 : shot.pixel(clear), 8, 16)));
    QVERIFY(shot.pixel(panel) != white);
    // Too faint to be drawn: no grey or black smear without a compositing manager to blend it.
    QCOMPARE(shot.pixel(shadow), white);
    const QRect shaped = shapeExtents(desktop, container);
    QVERIFY2(shaped.isValid() && shaped.width() < 550 && shaped.height() < 200,
             qPrintable(QStringLiteral("%1x%2").arg(shaped.width()).arg(shaped.height())));

    // A compositing manager starts: the window is blended whole over the desktop again.
    Desktop::Companion compositor(desktop.environment(), QStringLiteral("xcompmgr"));
    QVERIFY2(compositor.error().isEmpty(), qPrintable(compositor.error()));
    QVERIFY(
        Desktop::waitUntil([&] { return shapeExtents(desktop, container) == QRect(0, 0, 550, 200); }, kStepTimeoutMs));
    shot = screen(desktop, QStringLiteral("window-with-compositor.png"));
    // The compositor paints a desktop of its own colour; the window's clear parts show it, its shadow darkens it.
    QCOMPARE(shot.pixel(clear), shot.pixel(desk));
    QVERIFY(shot.pixel(panel) != shot.pixel(desk));
    QVERIFY2(qGray(shot.pixel(shadow)) < qGray(shot.pixel(desk)) && qGray(shot.pixel(shadow)) > 32,
             qPrintable(
                 QStringLiteral("shadow %1, desktop %2").arg(qGray(shot.pixel(shadow))).arg(qGray(shot.pixel(desk)))));

    // And it stops: the shape comes back.
    compositor.stop();
    QVERIFY(Desktop::waitUntil([&] { return shapeExtents(desktop, container) == shaped; }, kStepTimeoutMs));
}

void TestWindowXSession::underSway()
{
    if (QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("Xwayland")).isEmpty()) {
        QSKIP("sway and Xwayland are not installed");
    }
    // sway does not run as root: there, the compositor and the program run as nobody.
    QStringList asUser;
    if (geteuid() == 0) {
        asUser = {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                  QStringLiteral("--clear-groups")};
    }
    // The session's runtime folder (the compositor's sockets, the program's instance lock) and home.
    QTemporaryDir session;
    QVERIFY(session.isValid());
    if (!asUser.isEmpty()) {
        QCOMPARE(chown(QFile::encodeName(session.path()).constData(), 65534, 65534), 0);
    }
    const QString config = session.path() + QStringLiteral("/config");
    {
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("output HEADLESS-1 resolution 1024x768\nxwayland enable\n");
    }
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), session.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), session.path());
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    // No session bus: the program's tray look-up must not start one that outlives the test.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    QProcess sway;
    sway.setProcessEnvironment(env);
    sway.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList command = asUser + QStringList{QStringLiteral("sway"), QStringLiteral("-c"), config};
    sway.start(command.first(), command.mid(1));
    QVERIFY2(sway.waitForStarted(), qPrintable(sway.errorString()));
    QString socket;
    const bool started = Desktop::waitUntil(
        [&] {
            const QStringList sockets =
                QDir(session.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            socket = sockets.isEmpty() ? QString() : session.path() + QLatin1Char('/') + sockets.first();
            return !socket.isEmpty() || sway.state() != QProcess::Running;
        },
        kStepTimeoutMs);
    if (!started || socket.isEmpty()) {
        const QByteArray log = sway.readAll();
        sway.kill();
        sway.waitForFinished();
        QSKIP(qPrintable(QStringLiteral("sway cannot run headless here: ") + QString::fromLocal8Bit(log.right(400))));
    }
    env.insert(QStringLiteral("SWAYSOCK"), socket);
    const auto swaymsg = [&](const QStringList& arguments) {
        const QStringList line = asUser + QStringList{QStringLiteral("swaymsg")} + arguments;
        return Desktop::run(env, line.first(), line.mid(1));
    };
    // Started by the compositor, as a desktop session starts it: with its WAYLAND_DISPLAY and XWayland's DISPLAY.
    const QString start = QStringLiteral("env XDG_SESSION_TYPE=wayland '%1'").arg(ProgramRun::executable());
    QCOMPARE(swaymsg({QStringLiteral("exec"), start}).exitCode, 0);
    QJsonObject window;
    const bool shown = Desktop::waitUntil(
        [&] {
            const Desktop::CommandResult tree = swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")});
            window = swayNode(QJsonDocument::fromJson(tree.output).object(), QStringLiteral("Veltrane Auth"));
            return !window.isEmpty();
        },
        kStartTimeoutMs);
    const QByteArray log = sway.readAll();
    sway.terminate();
    sway.waitForFinished(10000);
    QVERIFY2(shown, log.right(2000).constData());
    // Through XWayland (X11 is asked for), floating at its own fixed size.
    QCOMPARE(window.value(QStringLiteral("shell")).toString(), QStringLiteral("xwayland"));
    QCOMPARE(window.value(QStringLiteral("type")).toString(), QStringLiteral("floating_con"));
    const QJsonObject rect = window.value(QStringLiteral("rect")).toObject();
    QCOMPARE(QSize(rect.value(QStringLiteral("width")).toInt(), rect.value(QStringLiteral("height")).toInt()),
             QSize(550, 200));

    QSKIP("the drag cannot be driven under headless sway 1.7: its seat has no pointer device (capabilities 0), so "
          "no client receives a press; \"seat seat0 cursor move\" moves the cursor without passing through a "
          "floating move; and Debian 12 packages no virtual-pointer client (wlrctl), while a libinput device needs a "
          "seat that a headless compositor of a normal user cannot open");
}

void TestWindowXSession::noDisplay_data()
{
    QTest::addColumn<QString>("platform");    // QT_QPA_PLATFORM; empty: unset
    QTest::addColumn<QString>("display");     // DISPLAY; empty: unset
    QTest::addColumn<QString>("sessionType"); // XDG_SESSION_TYPE; empty: unset
    QTest::addColumn<QString>("wayland");     // WAYLAND_DISPLAY; empty: unset
    QTest::addColumn<QStringList>("reasons");
    QTest::newRow("X11 asked for, no display")
        << "xcb" << QString() << QString() << QString() << QStringList{"no X11 display is set (DISPLAY)"};
    QTest::newRow("the default platform, no display")
        << QString() << QString() << QString() << QString() << QStringList{"no X11 display is set (DISPLAY)"};
    QTest::newRow("an X11 display nobody serves")
        << "xcb"
        << ":4711" << QString() << QString() << QStringList{"the X11 display :4711 cannot be reached"};
    // The Wayland session's X11 first, then Wayland itself: neither is there.
    QTest::newRow("a Wayland session whose compositor is gone")
        << QString() << QString() << "wayland"
        << "wayland-gone"
        << QStringList{"no X11 display is set (DISPLAY)", "the Wayland display wayland-gone cannot be reached"};
}

void TestWindowXSession::noDisplay()
{
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QString, sessionType);
    QFETCH(QString, wayland);
    QFETCH(QStringList, reasons);
    TestHome home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const std::pair<const char*, QString> settings[] = {{"QT_QPA_PLATFORM", platform},
                                                        {"DISPLAY", display},
                                                        {"XDG_SESSION_TYPE", sessionType},
                                                        {"WAYLAND_DISPLAY", wayland}};
    for (const auto& [name, value] : settings) {
        if (value.isEmpty()) {
            env.remove(QLatin1String(name));
        } else {
            env.insert(QLatin1String(name), value);
        }
    }
    env.remove(QStringLiteral("WAYLAND_SOCKET"));
    env.insert(QStringLiteral("HOME"), home.path());
    ProgramProcess program;
    program.setProcessEnvironment(env);
    program.start(ProgramRun::executable(), QStringList());
    QVERIFY(program.waitForFinished(kStartTimeoutMs));
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    // Ended by itself (Qt's abort is a crash, status 134 in a shell).
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(error, QStringLiteral("Veltrane Auth cannot show its window: ") + reasons.join(QStringLiteral("; ")) +
                        QStringLiteral(".\n"));
    // Nothing was begun: no data folder, no log.
    QVERIFY(QDir(home.dataDir()).isEmpty());
}

QTEST_MAIN(TestWindowXSession)
#include "tst_window_xsession.moc"
