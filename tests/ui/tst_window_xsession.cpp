// The container as a real window of the real program on a private X server: dragged under a real window manager
// (openbox), which must do the move itself.
#include "e2e/ProgramRun.h"
#include "support/DesktopDriver.h"
#include "support/TestHome.h"

#include <QDir>
#include <QTest>

namespace {
const QString kArtifacts = QStringLiteral(VELTRANE_BINARY_DIR "/artifacts");
// A point of the login window's panel that no button or field covers: a press there reaches the container.
const QPoint kPanelPoint(150, 140);

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

// Presses the left button on the panel and moves the pointer by `steps` times `step`, as a hand does.
bool pressAndMove(const Desktop::Session& desktop, const Desktop::Window& container, int steps, const QPoint& step)
{
    if (!xdotool(desktop, {QStringLiteral("mousemove"), QStringLiteral("--window"), container.id,
                           QString::number(kPanelPoint.x()), QString::number(kPanelPoint.y()),
                           QStringLiteral("mousedown"), QStringLiteral("1")})) {
        return false;
    }
    // The first movement starts the drag; the window system's move counts from there.
    if (!xdotool(desktop, {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("1"),
                           QStringLiteral("1")})) {
        return false;
    }
    for (int i = 0; i < steps; ++i) {
        if (!xdotool(desktop, {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QString::number(step.x()),
                               QString::number(step.y())})) {
            return false;
        }
    }
    return true;
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
};

void TestWindowXSession::dragUnderAWindowManager()
{
    Desktop::Session desktop;
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    const Desktop::Companion windowManager(desktop.environment(), QStringLiteral("openbox"),
                                           {QStringLiteral("--sm-disable")});
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
    QVERIFY(pressAndMove(desktop, container, 10, QPoint(12, 8)));
    const QPoint expected = before.topLeft() + QPoint(120, 80);
    QVERIFY2(Desktop::waitUntil([&] { return near(containerGeometry(desktop, program).topLeft(), expected); },
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
    QVERIFY(pressAndMove(desktop, container, 5, QPoint(-10, 6)));
    QVERIFY(Desktop::waitUntil(
        [&] { return near(containerGeometry(desktop, program).topLeft(), moved.topLeft() + QPoint(-50, 30)); },
        kStepTimeoutMs));
    QVERIFY(xdotool(desktop, {QStringLiteral("key"), QStringLiteral("Escape")}));
    QVERIFY2(Desktop::waitUntil([&] { return containerGeometry(desktop, program).topLeft() == moved.topLeft(); },
                                kStepTimeoutMs),
             qPrintable(QStringLiteral("at %1,%2")
                            .arg(containerGeometry(desktop, program).x())
                            .arg(containerGeometry(desktop, program).y())));
    QVERIFY(xdotool(desktop, {QStringLiteral("mouseup"), QStringLiteral("1")}));
}

QTEST_MAIN(TestWindowXSession)
#include "tst_window_xsession.moc"
