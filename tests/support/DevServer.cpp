#include "support/DevServer.h"

#include "support/ChildProcess.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int kStartTimeoutMs = 15000;
}

DevServer::~DevServer()
{
    stop();
}

QString DevServer::executable()
{
    return QStringLiteral(VELTRANE_DEVSERVER_EXE);
}

QString DevServer::certificateDir()
{
    return QStringLiteral(VELTRANE_DEV_CERT_DIR);
}

bool DevServer::start(const QJsonObject& data, const QString& certificate)
{
    const QString path = dir_.filePath(QStringLiteral("source.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(data).toJson());
    file.close();
    return startWithFile(path, certificate);
}

bool DevServer::startWithFile(const QString& dataFile, const QString& certificate)
{
    stop();
    const QString data = dir_.filePath(QStringLiteral("data.json"));
    QFile::remove(data);
    QFile::remove(dir_.filePath(QStringLiteral("requests.jsonl")));
    if (!QFile::copy(dataFile, data)) {
        return false;
    }
    QFile(data).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QString certs = certificateDir() + QLatin1Char('/');
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(executable(), {QStringLiteral("serve"), QStringLiteral("--data"), data, QStringLiteral("--listen"),
                                  listen_, QStringLiteral("--cert"), certs + certificate + QStringLiteral(".pem"),
                                  QStringLiteral("--key"), certs + certificate + QStringLiteral(".key"),
                                  QStringLiteral("--request-log"), dir_.filePath(QStringLiteral("requests.jsonl"))});
    // The server prints "listening on 127.0.0.1:PORT" once it accepts connections.
    port_ = ChildProcess::waitForListening(process_, kStartTimeoutMs);
    return port_ != 0;
}

void DevServer::stop()
{
    ChildProcess::stop(process_);
    port_ = 0;
}

QString DevServer::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(port_);
}

QString DevServer::servletUrl(const QString& programUrl) const
{
    return baseUrl() + QUrl(programUrl).path();
}

QJsonObject DevServer::data() const
{
    QFile file(dir_.filePath(QStringLiteral("data.json")));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

QList<QJsonObject> DevServer::requests() const
{
    QList<QJsonObject> entries;
    QFile file(dir_.filePath(QStringLiteral("requests.jsonl")));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (!line.isEmpty()) {
                entries.append(QJsonDocument::fromJson(line).object());
            }
        }
    }
    return entries;
}

QString DevServer::errorOutput() const
{
    return QString::fromLocal8Bit(const_cast<QProcess&>(process_).readAllStandardError());
}

ReplyResult exchange(const QString& url, const QByteArray& body, int proxyMode)
{
    // Waits on the reply's own signal: the loop ends the moment the handler has run, so the time spent here is the
    // transport's (a polling wait would add its sleeps to every request a benchmark measures).
    ReplyTracker tracker;
    ReplyResult result;
    result.error = -1;
    result.errorText = QStringLiteral("no reply in time");
    QEventLoop loop;
    tracker.track(HttpsTransport::postRequest(url, body, proxyMode), [&](const ReplyResult& handled) {
        result = handled;
        loop.quit();
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(30000);
    loop.exec();
    return result;
}
