#include "DevServer.h"

#include "ServerData.h"
#include "cipher/AesCipher.h"
#include "cipher/PlainText.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPointer>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {
// Keys of status, registration and authentication requests are their 32-byte clear prefix.
constexpr int kKeyLength = 32;
// Session identifiers have a fixed length, so a sync body splits into identifier and ciphertext without a separator.
constexpr int kSessionIdLength = 24;

const char kRecordFieldSeparator = '\xB7';
const char kRecordEnd = '\xBB';

QString randomAlphanumerics(int length)
{
    static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    QString text;
    for (int i = 0; i < length; ++i) {
        text.append(QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof(alphabet) - 1))]));
    }
    return text;
}

QByteArray clear(const char* text)
{
    return QByteArray(text);
}
} // namespace

DevServer::DevServer(ServerData* data, const QString& requestLogPath, QObject* parent)
    : QObject(parent), data_(data), requestLogPath_(requestLogPath)
{
    const QList<QPair<QString, QString>> servlets = {{QStringLiteral("/Quarnet/StatServlet"), QStringLiteral("stat")},
                                                     {QStringLiteral("/Quarnet/RegServlet"), QStringLiteral("reg")},
                                                     {QStringLiteral("/Quarnet/AuthServlet"), QStringLiteral("auth")},
                                                     {QStringLiteral("/Quarnet/SyncServlet"), QStringLiteral("sync")}};
    for (const auto& servlet : servlets) {
        const QString name = servlet.second;
        server_.route(servlet.first, QHttpServerRequest::Method::Post,
                      [this, name](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                          serve(name, request.body(), std::move(responder));
                      });
    }
}

quint16 DevServer::listen(const QHostAddress& address, quint16 port, const QSslCertificate& certificate,
                          const QSslKey& key)
{
    server_.sslSetup(certificate, key, QSsl::SecureProtocols);
    return server_.listen(address, port);
}

void DevServer::serve(const QString& servlet, const QByteArray& body, QHttpServerResponder&& responder)
{
    Request request;
    Reply reply;
    if (servlet == QLatin1String("auth")) {
        reply = authentication(body, &request);
    } else if (servlet == QLatin1String("sync")) {
        reply = synchronisation(body, &request);
    } else {
        request = readRequest(servlet, body.left(kKeyLength), QString::fromLatin1(body.left(kKeyLength)),
                              body.mid(kKeyLength));
        reply = statusOrRegistration(request);
    }
    logRequest(request, body);
    applyOverride(request, &reply);

    const QByteArray date = httpDate(data_->dateSettings(reply.userIndex));
    auto send = [date, reply](QHttpServerResponder& target) {
        const auto status = QHttpServerResponder::StatusCode(reply.httpStatus);
        if (date.isEmpty()) {
            target.write(reply.body, {{"Content-Type", "application/octet-stream"}}, status);
        } else {
            target.write(reply.body, {{"Content-Type", "application/octet-stream"}, {"Date", date}}, status);
        }
    };
    if (reply.delayMs <= 0) {
        send(responder);
        return;
    }
    auto held = std::make_shared<QHttpServerResponder>(std::move(responder));
    // The responder writes to the client's socket, which the server deletes when the client disconnects: a reply
    // held back past that has nobody to go to and is dropped.
    const QPointer<QTcpSocket> socket = held->socket();
    QTimer::singleShot(reply.delayMs, this, [held, send, socket] {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            send(*held);
        }
    });
}

DevServer::Request DevServer::readRequest(const QString& servlet, const QByteArray& prefix, const QString& key,
                                          const QByteArray& ciphertext) const
{
    Request request;
    request.servlet = servlet;
    request.prefix = prefix;
    request.key = key;
    request.plaintext = PlainText::untilNul(AesCipher().decrypt(key, ciphertext));
    request.fields = PlainText::fields(QString::fromLatin1(request.plaintext));
    return request;
}

DevServer::Reply DevServer::enciphered(const Request& request, const QStringList& fields, int userIndex) const
{
    Reply reply;
    reply.userIndex = userIndex;
    reply.body = AesCipher().encrypt(request.key, PlainText::latin1(fields.join(PlainText::kFieldSeparatorChar)));
    return reply;
}

DevServer::Reply DevServer::statusOrRegistration(const Request& request)
{
    const bool registration = request.servlet == QLatin1String("reg");
    const QStringList& f = request.fields;
    const int index = data_->userIndex(f.value(1));
    auto answer = [&](const char* code) { return enciphered(request, {QLatin1String(code), QString()}, index); };

    if (request.prefix.size() < kKeyLength || f.size() < 6 || f.at(0) != QLatin1String(registration ? "2" : "1")) {
        return answer("-1");
    }
    const QString& password = f.at(2);
    const QString& device = f.at(3);
    if (f.at(1).isEmpty() || password.isEmpty()) {
        return answer("1");
    }
    const QJsonObject user = data_->user(index);
    if (index < 0 || user.value(QStringLiteral("password")).toString() != password) {
        return answer("2");
    }
    if (device.isEmpty()) {
        return answer("3");
    }
    if (user.value(QStringLiteral("account")).toString() == QLatin1String("locked")) {
        return answer("6");
    }
    if (data_->registeredToOther(index, device)) {
        return answer("4");
    }
    const QString state = data_->deviceState(index, device);
    if (state == QLatin1String("registered")) {
        return answer("10");
    }
    if (state == QLatin1String("pending")) {
        return answer("20");
    }
    if (state == QLatin1String("rejected")) {
        return answer("21");
    }
    if (state == QLatin1String("locked")) {
        return answer("22");
    }
    if (!registration) {
        return answer("11");
    }
    // Registered by the server itself up to the user's limit; beyond it the request waits for an administrator.
    const int limit = user.value(QStringLiteral("autoRegistrationLimit")).toInt(1);
    if (data_->registeredDeviceCount(index) < limit) {
        data_->setDeviceState(index, device, QStringLiteral("registered"));
        data_->save();
        return answer("10");
    }
    data_->setDeviceState(index, device, QStringLiteral("pending"));
    data_->save();
    return answer("5");
}

DevServer::Reply DevServer::authentication(const QByteArray& body, Request* request)
{
    *request = readRequest(QStringLiteral("auth"), body.left(kKeyLength), QString::fromLatin1(body.left(kKeyLength)),
                           body.mid(kKeyLength));
    const QStringList& f = request->fields;
    const int index = data_->userIndex(f.value(1));
    Reply refusal;
    refusal.body = clear("-1");
    refusal.userIndex = index;
    // The session key travels twice: as the clear prefix and inside the ciphertext; they must agree.
    if (body.size() <= kKeyLength || f.size() < 6 || f.at(0) != QLatin1String("3") || f.at(4) != request->key) {
        return refusal;
    }
    auto answer = [&](const char* code) { return enciphered(*request, {QLatin1String(code), QString()}, index); };
    const QJsonObject user = data_->user(index);
    if (f.at(1).isEmpty() || index < 0 || user.value(QStringLiteral("password")).toString() != f.at(2)) {
        return answer("0");
    }
    const QString& device = f.at(3);
    if (data_->registeredToOther(index, device)) {
        return answer("1");
    }
    if (user.value(QStringLiteral("account")).toString() == QLatin1String("locked")) {
        return answer("6");
    }
    if (data_->deviceState(index, device) != QLatin1String("registered")) {
        return answer("0");
    }
    const QString id = randomAlphanumerics(kSessionIdLength);
    data_->addSession(
        {{QStringLiteral("id"), id},
         {QStringLiteral("user"), f.at(1)},
         {QStringLiteral("key"), request->key},
         {QStringLiteral("device"), device},
         {QStringLiteral("expires"),
          QDateTime::currentDateTimeUtc().addSecs(data_->sessionLifetimeSeconds()).toString(Qt::ISODate)}});
    data_->save();
    return enciphered(*request, {QStringLiteral("10"), id}, index);
}

DevServer::Reply DevServer::synchronisation(const QByteArray& body, Request* request)
{
    const QByteArray prefix = body.left(kSessionIdLength);
    const QJsonObject session = data_->session(QString::fromLatin1(prefix));
    const QString key = session.value(QStringLiteral("key")).toString();
    *request = readRequest(QStringLiteral("sync"), prefix, key, body.mid(kSessionIdLength));
    const QStringList& f = request->fields;
    const int index = data_->userIndex(session.value(QStringLiteral("user")).toString());
    Reply refusal;
    refusal.body = clear("-2");
    refusal.userIndex = index;
    if (session.isEmpty() || f.size() < 5 || f.at(0) != QLatin1String("4") || f.at(2) != QString::fromLatin1(prefix)) {
        return refusal;
    }
    auto answer = [&](const char* code) { return enciphered(*request, {QLatin1String(code), QString()}, index); };
    const QJsonObject user = data_->user(index);
    if (index < 0 || f.at(1) != session.value(QStringLiteral("user")).toString()) {
        return answer("0");
    }
    const QString& device = f.at(3);
    if (data_->registeredToOther(index, device)) {
        return answer("2");
    }
    const QDateTime expires = QDateTime::fromString(session.value(QStringLiteral("expires")).toString(), Qt::ISODate);
    if (!expires.isValid() || QDateTime::currentDateTimeUtc() >= expires) {
        return answer("1");
    }
    if (user.value(QStringLiteral("account")).toString() == QLatin1String("locked") ||
        data_->deviceState(index, device) != QLatin1String("registered")) {
        return answer("0");
    }
    // Records: name, account name, token key, group, separated by 0xB7, each ended by 0xBB.
    QByteArray payload;
    const QJsonArray resources = user.value(QStringLiteral("resources")).toArray();
    for (const QJsonValue& value : resources) {
        const QJsonObject resource = value.toObject();
        payload += PlainText::latin1(resource.value(QStringLiteral("name")).toString()) + kRecordFieldSeparator +
                   PlainText::latin1(resource.value(QStringLiteral("userName")).toString()) + kRecordFieldSeparator +
                   PlainText::latin1(resource.value(QStringLiteral("tokenKey")).toString()) + kRecordFieldSeparator +
                   PlainText::latin1(resource.value(QStringLiteral("groupName")).toString()) + kRecordEnd;
    }
    Reply reply;
    reply.userIndex = index;
    reply.body = AesCipher().encrypt(key, QByteArrayLiteral("10") + PlainText::kFieldSeparator + payload);
    return reply;
}

void DevServer::applyOverride(const Request& request, Reply* reply) const
{
    const QJsonObject override = data_->overrideFor(reply->userIndex, request.servlet);
    if (override.contains(QStringLiteral("reply"))) {
        QStringList fields;
        const QJsonArray array = override.value(QStringLiteral("reply")).toArray();
        for (const QJsonValue& value : array) {
            fields.append(value.toString());
        }
        reply->body = enciphered(request, fields, reply->userIndex).body;
    } else if (override.contains(QStringLiteral("code"))) {
        reply->body =
            enciphered(request, {override.value(QStringLiteral("code")).toString(), QString()}, reply->userIndex).body;
    }
    if (override.contains(QStringLiteral("clear"))) {
        reply->body = PlainText::latin1(override.value(QStringLiteral("clear")).toString());
    }
    if (override.value(QStringLiteral("undecipherable")).toBool()) {
        // Bytes that, deciphered with the request's key, hold no field separator before their first 0x00 byte:
        // what a reply enciphered with some other key looks like to the client.
        QByteArray garbage(48, Qt::Uninitialized);
        do {
            for (char& byte : garbage) {
                byte = char(QRandomGenerator::system()->bounded(256));
            }
        } while (PlainText::untilNul(AesCipher().decrypt(request.key, garbage)).contains(PlainText::kFieldSeparator));
        reply->body = garbage;
    }
    reply->httpStatus = override.value(QStringLiteral("httpStatus")).toInt(200);
    reply->delayMs = override.value(QStringLiteral("delayMs")).toInt(0);
}

void DevServer::logRequest(const Request& request, const QByteArray& body) const
{
    if (requestLogPath_.isEmpty()) {
        return;
    }
    QFile file(requestLogPath_);
    if (!file.open(QIODevice::Append)) {
        return;
    }
    const QJsonObject entry{{QStringLiteral("servlet"), request.servlet},
                            {QStringLiteral("bodyHex"), QString::fromLatin1(body.toHex())},
                            {QStringLiteral("prefixHex"), QString::fromLatin1(request.prefix.toHex())},
                            {QStringLiteral("plaintextHex"), QString::fromLatin1(request.plaintext.toHex())},
                            {QStringLiteral("fields"), QJsonArray::fromStringList(request.fields)}};
    file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
}

QByteArray DevServer::httpDate(const QJsonObject& settings)
{
    const QString format = settings.value(QStringLiteral("format")).toString(QStringLiteral("rfc1123"));
    if (format == QLatin1String("none")) {
        return {};
    }
    if (format == QLatin1String("raw")) {
        return settings.value(QStringLiteral("value")).toString().toLatin1();
    }
    QDateTime time = QDateTime::currentDateTimeUtc();
    if (settings.contains(QStringLiteral("fixed"))) {
        time = QDateTime::fromString(settings.value(QStringLiteral("fixed")).toString(), Qt::ISODate).toUTC();
    }
    time = time.addSecs(settings.value(QStringLiteral("offsetSeconds")).toInteger());
    const QLocale c = QLocale::c();
    if (format == QLatin1String("rfc850")) {
        return c.toString(time, QStringLiteral("dddd, dd-MMM-yy hh:mm:ss 'GMT'")).toLatin1();
    }
    if (format == QLatin1String("asctime")) {
        // The day of the month is padded with a blank: "Sun Nov  6 08:49:37 1994".
        return (c.toString(time, QStringLiteral("ddd MMM ")) +
                QStringLiteral("%1").arg(time.date().day(), 2, 10, QLatin1Char(' ')) +
                c.toString(time, QStringLiteral(" hh:mm:ss yyyy")))
            .toLatin1();
    }
    return c.toString(time, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}
