#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real tinyproxy on a free loopback port, with its configuration and log in a private folder.
class TinyProxy {
public:
    TinyProxy() = default;
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    // With a user, the proxy asks for basic authentication with that user and password.
    bool start(const QString& user = QString(), const QString& password = QString());
    quint16 port() const { return port_; }
    // What tinyproxy logged so far.
    QString log() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

// A loopback port on which nothing listens.
quint16 deadLoopbackPort();
