#include "support/XSession.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QThread>

XSession::XSession(TrayHost trayHost)
{
    // -displayfd makes the server pick a free display and print its number once it accepts connections.
    server_.setProgram(QStringLiteral("Xvfb"));
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")});
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
    if (trayHost == WithTrayHost) {
        addTrayHost();
    }
}

bool XSession::addTrayHost()
{
    // The tray host occasionally fails to take the tray selection on a loaded machine; a fresh one then does.
    QString trayError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startTrayHost()) {
            return true;
        }
        trayError = QString::fromLocal8Bit(trayHost_.readAllStandardError()).trimmed();
        ChildProcess::stop(trayHost_);
    }
    error_ = QStringLiteral("the tray host (trayer) did not start: ") + trayError;
    return false;
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
    return env;
}

bool XSession::waitForTrayHost()
{
    // The tray is usable once a window owns the system tray selection of screen 0.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && trayHost_.state() == QProcess::Running) {
        QProcess probe;
        probe.setProcessEnvironment(environment());
        probe.start(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("trayer")});
        probe.waitForFinished(5000);
        if (probe.exitCode() == 0 && !probe.readAllStandardOutput().trimmed().isEmpty()) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}
