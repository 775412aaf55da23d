#include "support/HostileServer.h"

#include "support/ChildProcess.h"
#include "support/DevServer.h"

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
    port_ = ChildProcess::waitForListening(process_, kStartTimeoutMs, &output_);
    return port_ != 0;
}

void HostileServer::stop()
{
    ChildProcess::stop(process_);
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
