#pragma once

#include <QByteArray>
#include <QHttpServer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

class QHostAddress;
class QHttpServerResponder;
class QSslCertificate;
class QSslKey;
class ServerData;

// The server side of the four servlets over HTTPS. Every reply is enciphered with the key of its request (or is one
// of the clear-text refusals) and carries a Date header; a user's overrides in the data file can force any reply.
class DevServer : public QObject {
    Q_OBJECT
public:
    DevServer(ServerData* data, const QString& requestLogPath, QObject* parent = nullptr);

    // Listens with TLS; returns the port (useful with port 0), or 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port, const QSslCertificate& certificate, const QSslKey& key);

    // The Date header value for the given settings ("format", "offsetSeconds", "fixed", "value"); empty for none.
    static QByteArray httpDate(const QJsonObject& settings);

private:
    struct Reply {
        QByteArray body;
        int httpStatus = 200;
        int delayMs = 0;
        int userIndex = -1;
    };
    // A request as the servlet read it: the clear prefix, the cipher key, the deciphered fields.
    struct Request {
        QString servlet;
        QByteArray prefix;
        QString key;
        QByteArray plaintext;
        QStringList fields;
    };

    void serve(const QString& servlet, const QByteArray& body, QHttpServerResponder&& responder);
    Reply statusOrRegistration(const Request& request);
    Reply authentication(const QByteArray& body, Request* request);
    Reply synchronisation(const QByteArray& body, Request* request);
    void applyOverride(const Request& request, Reply* reply) const;
    Reply enciphered(const Request& request, const QStringList& fields, int userIndex) const;
    Request readRequest(const QString& servlet, const QByteArray& prefix, const QString& key,
                        const QByteArray& ciphertext) const;
    void logRequest(const Request& request, const QByteArray& body) const;

    QHttpServer server_;
    ServerData* data_;
    QString requestLogPath_;
};
