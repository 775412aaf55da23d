#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A TLS server on loopback that misbehaves on purpose (tests/support/hostile-server.py, its own process): it holds
// the connection, stalls the handshake or the body, trickles, sends 200 MiB or an empty or random body, or speaks
// TLS 1.2 with a chosen cipher list only. It presents the development server's certificate, so every failure seen
// is the behaviour under test, never an untrusted certificate.
class HostileServer {
public:
    HostileServer() = default;
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    // mode: hold, handshake, headers, trickle, big, unsized, empty, random, tls12 (see the script). Waits until the
    // server listens.
    bool start(const QString& mode, const QStringList& extraArguments = {});
    // Presents this certificate and key from the next start on instead of the development server's.
    void setCertificate(const QString& certificate, const QString& key)
    {
        certificate_ = certificate;
        key_ = key;
    }
    void stop();

    quint16 port() const { return port_; }
    // "https://127.0.0.1:PORT"
    QString baseUrl() const;
    // Connections accepted so far.
    int connections();

private:
    QProcess process_;
    QByteArray output_;
    quint16 port_ = 0;
    QString certificate_;
    QString key_;
};
