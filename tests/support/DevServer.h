#pragma once

#include "protocol/HttpsTransport.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The development server as a separate process on a free loopback port, over real TLS with the certificates made
// at build time. It serves a private copy of the data file and logs every request it deciphered.
class DevServer {
public:
    DevServer() = default;
    ~DevServer();
    DevServer(const DevServer&) = delete;
    DevServer& operator=(const DevServer&) = delete;

    // certificate: "server" (127.0.0.1 and localhost, development authority), "otherhost" (another host name, same
    // authority) or "untrusted" (127.0.0.1, an authority nobody trusts). Waits until the server listens.
    bool start(const QJsonObject& data, const QString& certificate = QStringLiteral("server"));
    bool startWithFile(const QString& dataFile, const QString& certificate = QStringLiteral("server"));
    void stop();
    // Where the next start listens: "127.0.0.1:0" (a free port, the default), or the program's own server address
    // "127.0.0.1:8443" for tests that run the real program.
    void setListenAddress(const QString& address) { listen_ = address; }

    quint16 port() const { return port_; }
    // "https://127.0.0.1:PORT"
    QString baseUrl() const;
    // A servlet address of the program ("https://.../Quarnet/StatServlet") moved to this server.
    QString servletUrl(const QString& programUrl) const;

    // The data file as the server last wrote it (registrations and sessions included).
    QJsonObject data() const;
    // The requests it received, oldest first: servlet, prefixHex, bodyHex, plaintextHex, fields.
    QList<QJsonObject> requests() const;
    QString errorOutput() const;
    // The server's private copy of the data file, for `veltrane-devserver verify`.
    QString dataFilePath() const { return dir_.filePath(QStringLiteral("data.json")); }

    static QString executable();
    static QString certificateDir();

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString listen_ = QStringLiteral("127.0.0.1:0");
};

// Posts one body and waits on its reply's finished signal (up to 30 s); error -1 and "no reply in time" when none
// came.
ReplyResult exchange(const QString& url, const QByteArray& body, int proxyMode = 0);
