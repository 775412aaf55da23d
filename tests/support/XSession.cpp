#include "support/XSession.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {
// Whether the process still runs; asking QProcess to wait for no time makes it notice an end without an event loop.
bool stillRuns(QProcess& process)
{
    return process.state() == QProcess::Running && !process.waitForFinished(0);
}

// Polls `condition` every 50 ms until it holds, `alive` stops holding or timeoutMs have passed.
template <typename Condition, typename Alive> bool pollUntil(Condition condition, Alive alive, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (deadline.hasExpired() || !alive()) {
            return false;
        }
        QThread::msleep(50);
    }
}

// Whether a client can connect to the display and, when `selection` is given, whether a window owns that
// selection (the tray host's _NET_SYSTEM_TRAY_S0): what a program asks first when it starts.
bool displayAnswers(const QString& display, const char* selection = nullptr)
{
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    bool answers = xcb_connection_has_error(connection) == 0;
    if (answers && selection) {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(selection)), selection), nullptr);
        xcb_get_selection_owner_reply_t* owner =
            atom ? xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr)
                 : nullptr;
        answers = owner && owner->owner != XCB_NONE;
        std::free(owner);
        std::free(atom);
    }
    xcb_disconnect(connection);
    return answers;
}
} // namespace

XSession::XSession(TrayHost trayHost)
{
    // -displayfd makes the server pick a free display and print its number once it accepts connections.
    // -noreset: by default the server resets when its last client leaves and drops every client that connects
    // meanwhile. On a desktop without a tray host nothing stays connected, so each probe (xdotool, the program's
    // own display check) is a last client, and the next connection, the program's toolkit among them, could be
    // dropped as "could not connect to display".
    server_.setProgram(QStringLiteral("Xvfb"));
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                          QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    server_.start();
    if (!server_.waitForStarted(10000)) {
        error_ = QStringLiteral("Xvfb could not be started: ") + server_.errorString();
        return;
    }
    QByteArray number;
    const QDeadlineTimer deadline(20000);
    while (!number.contains('\n') && !deadline.hasExpired() && server_.state() == QProcess::Running) {
        server_.waitForReadyRead(200);
        number += server_.readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        error_ = QStringLiteral("Xvfb did not report its display");
        return;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    if (!pollUntil([this] { return displayAnswers(display_); }, [this] { return stillRuns(server_); }, 20000)) {
        error_ = QStringLiteral("Xvfb reported %1 but takes no connection: ").arg(display_) +
                 QString::fromLocal8Bit(server_.readAllStandardError()).trimmed();
        return;
    }
    if (trayHost == WithTrayHost) {
        addTrayHost();
    }
}

bool XSession::addTrayHost()
{
    if (startTrayHost()) {
        return true;
    }
    error_ = QStringLiteral("the tray host (trayer) did not take the system tray: ") +
             QString::fromLocal8Bit(trayHost_.readAllStandardError()).trimmed();
    ChildProcess::stop(trayHost_);
    return false;
}

void XSession::stopTrayHost()
{
    ChildProcess::stop(trayHost_);
}

bool XSession::startTrayHost()
{
    trayHost_.setProcessEnvironment(environment());
    trayHost_.setProgram(QStringLiteral("trayer"));
    trayHost_.setArguments({QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                            QStringLiteral("right"), QStringLiteral("--height"), QStringLiteral("24"),
                            QStringLiteral("--widthtype"), QStringLiteral("request")});
    trayHost_.start();
    return trayHost_.waitForStarted(10000) && waitForTrayHost();
}

XSession::~XSession()
{
    ChildProcess::stop(trayHost_);
    ChildProcess::stop(server_);
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Without a session bus libdbus would launch one through this X server (dbus-launch --autolaunch), which stays
    // behind, and whose handshake keeps memory that the leak checker reports at the program's exit. With a server
    // that never resets, every later program would find that bus. A test that wants a bus gives its own
    // (SessionBus); the others get an address where none answers.
    if (!env.contains(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"))) {
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/dev/null/no-session-bus"));
    }
    return env;
}

bool XSession::waitForTrayHost()
{
    // The tray is usable once a window owns the system tray selection of screen 0: a program that starts earlier
    // finds no tray and runs without one.
    return pollUntil([this] { return displayAnswers(display_, "_NET_SYSTEM_TRAY_S0"); },
                     [this] { return stillRuns(trayHost_); }, 20000);
}
