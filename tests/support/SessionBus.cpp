#include "support/SessionBus.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>

SessionBus::SessionBus()
{
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nosyslog"),
                          QStringLiteral("--print-address=1")});
    daemon_.start();
    if (!daemon_.waitForStarted(10000)) {
        error_ = QStringLiteral("dbus-daemon could not be started: ") + daemon_.errorString();
        return;
    }
    // The address is printed once the bus accepts connections.
    QByteArray line;
    const QDeadlineTimer deadline(20000);
    while (!line.contains('\n') && !deadline.hasExpired() && daemon_.state() == QProcess::Running) {
        daemon_.waitForReadyRead(200);
        line += daemon_.readAllStandardOutput();
    }
    if (!line.contains('\n')) {
        error_ = QStringLiteral("dbus-daemon did not report its address");
        return;
    }
    address_ = QString::fromUtf8(line.trimmed());
}

SessionBus::~SessionBus()
{
    ChildProcess::stop(daemon_);
}

QProcessEnvironment SessionBus::environment(QProcessEnvironment env) const
{
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    return env;
}
