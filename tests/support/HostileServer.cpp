#include "support/HostileServer.h"

#include "support/DevServer.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace {
constexpr int kStartTimeoutMs = 15000;
}

HostileServer::~HostileServer()
{
    stop();
}

bool HostileServer::start(const QString& mode, const QStringList& extraArguments)
{
    stop();
    output_.clear();
    const QString certs = DevServer::certificateDir() + QLatin1Char('/');
    const QString certificate = certificate_.isEmpty() ? certs + QStringLiteral("server.pem") : certificate_;
    const QString key = key_.isEmpty() ? certs + QStringLiteral("server.key") : key_;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"),
                   QStringList{QStringLiteral(VELTRANE_HOSTILE_SERVER_SCRIPT), QStringLiteral("--mode"), mode,
                               QStringLiteral("--cert"), certificate, QStringLiteral("--key"), key} +
                       extraArguments);
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]+:(\\d+)"));
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(int(deadline.remainingTime()));
        output_ += process_.readAllStandardOutput();
        const QRegularExpressionMatch match = listening.match(QString::fromLatin1(output_));
        if (match.hasMatch()) {
            port_ = quint16(match.captured(1).toUInt());
            return true;
        }
    }
    return false;
}

void HostileServer::stop()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    port_ = 0;
}

QString HostileServer::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(port_);
}

int HostileServer::connections()
{
    output_ += process_.readAllStandardOutput();
    return int(output_.count("connection\n"));
}
