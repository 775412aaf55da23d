#include "TinyProxy.h"

#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
} // namespace

quint16 deadLoopbackPort()
{
    return freeLoopbackPort();
}

TinyProxy::~TinyProxy()
{
    ChildProcess::stop(process_);
}

bool TinyProxy::start(const QString& user, const QString& password)
{
    port_ = freeLoopbackPort();
    QFile config(dir_.filePath(QStringLiteral("tinyproxy.conf")));
    if (!config.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray text = "Port " + QByteArray::number(port_) +
                      "\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Info\n"
                      "LogFile \"" +
                      QFile::encodeName(dir_.filePath(QStringLiteral("tinyproxy.log"))) + "\"\nPidFile \"" +
                      QFile::encodeName(dir_.filePath(QStringLiteral("tinyproxy.pid"))) + "\"\n";
    if (!user.isEmpty()) {
        text += "BasicAuth " + user.toUtf8() + ' ' + password.toUtf8() + '\n';
    }
    config.write(text);
    config.close();
    // -d keeps it in the foreground, so it ends with this object.
    process_.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(200)) {
            return true;
        }
        process_.waitForFinished(50);
    }
    return false;
}

QString TinyProxy::log() const
{
    QFile file(dir_.filePath(QStringLiteral("tinyproxy.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
