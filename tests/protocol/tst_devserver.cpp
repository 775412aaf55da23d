// The development server's authentication and sync servlets, driven with hand-built bodies (key in clear, then the
// enciphered plaintext), so that the program's own builders can be tested against a server checked on its own; and
// that a reply held back by a delay survives its client going away.
#include "cipher/AesCipher.h"
#include "cipher/PlainText.h"
#include "core/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "support/DevServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTest>

namespace {
const QString kSessionKey = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF");
const QString kDevice = QStringLiteral("DEVICE-DEMO");

QByteArray authBody(const QString& user, const QString& password)
{
    return kSessionKey.toLatin1() +
           AesCipher().encrypt(kSessionKey, PlainText::buildRequest("3", {user, password, kDevice, kSessionKey,
                                                                          QStringLiteral("n0nce123")}));
}

QByteArray syncBody(const QString& sessionId, const QString& user)
{
    return sessionId.toLatin1() +
           AesCipher().encrypt(kSessionKey,
                               PlainText::buildRequest("4", {user, sessionId, kDevice, QStringLiteral("n0nce456")}));
}

QStringList decipheredFields(const QByteArray& body)
{
    return PlainText::fields(PlainText::readText(AesCipher().decrypt(kSessionKey, body)));
}
} // namespace

class TestDevServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void authenticationAndSync();
    void refusals();
    void expiredSession();
    void clientGoneDuringDelay();

private:
    QJsonObject demoData(qint64 lifetime) const;
    DevServer server_;
};

QJsonObject TestDevServer::demoData(qint64 lifetime) const
{
    QFile file(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"));
    file.open(QIODevice::ReadOnly);
    QJsonObject data = QJsonDocument::fromJson(file.readAll()).object();
    QJsonArray users = data.value(QStringLiteral("users")).toArray();
    QJsonObject demo = users.at(0).toObject();
    demo.insert(QStringLiteral("devices"), QJsonObject{{kDevice, QStringLiteral("registered")}});
    users.replace(0, demo);
    data.insert(QStringLiteral("users"), users);
    data.insert(QStringLiteral("sessionLifetimeSeconds"), lifetime);
    return data;
}

void TestDevServer::initTestCase()
{
#ifndef VELTRANE_BUILD_TRUSTS_DEV_CA
    HttpsTransport::setAdditionalCaCertificates(
        QSslCertificate::fromPath(DevServer::certificateDir() + QStringLiteral("/ca.pem")));
#endif
    QVERIFY2(server_.start(demoData(3600)), qPrintable(server_.errorOutput()));
}

void TestDevServer::authenticationAndSync()
{
    const SharedText& texts = SharedText::get();
    const ReplyResult auth = exchange(server_.servletUrl(texts.urlAuthServlet),
                                      authBody(QStringLiteral("demo.user"), QStringLiteral("demo-pass-2026")));
    QCOMPARE(auth.error, 0);
    const QStringList authFields = decipheredFields(auth.body);
    QCOMPARE(authFields.value(0), QStringLiteral("10"));
    const QString sessionId = authFields.value(1);
    QCOMPARE(sessionId.size(), 24);
    QCOMPARE(server_.data().value(QStringLiteral("sessions")).toArray().size(), 1);

    const ReplyResult sync =
        exchange(server_.servletUrl(texts.urlSyncServlet), syncBody(sessionId, QStringLiteral("demo.user")));
    QCOMPARE(sync.error, 0);
    const QByteArray plaintext = PlainText::untilNul(AesCipher().decrypt(kSessionKey, sync.body));
    QCOMPARE(plaintext, QByteArray("10\xAB"
                                   "Mail Gateway\xB7"
                                   "demo.user@example.org\xB7K7Q2M9X4T1B8R6D3\xB7Office\xBB"
                                   "VPN Z\xFCrich\xB7"
                                   "demo.user\xB7P5W8N2C7H4L9F1J6\xB7Remote Access\xBB"
                                   "Build Server\xB7"
                                   "demo\xB7-1\xB7"
                                   "Engineering\xBB"));
    // The session key travelled in clear as the prefix and inside; the server logged what it read.
    const QJsonObject logged = server_.requests().last();
    QCOMPARE(logged.value(QStringLiteral("servlet")).toString(), QStringLiteral("sync"));
    QCOMPARE(QByteArray::fromHex(logged.value(QStringLiteral("prefixHex")).toString().toLatin1()),
             sessionId.toLatin1());
}

void TestDevServer::refusals()
{
    const SharedText& texts = SharedText::get();
    QCOMPARE(exchange(server_.servletUrl(texts.urlAuthServlet), "short").body, QByteArray("-1"));
    QCOMPARE(decipheredFields(exchange(server_.servletUrl(texts.urlAuthServlet),
                                       authBody(QStringLiteral("demo.user"), QStringLiteral("wrong")))
                                  .body)
                 .value(0),
             QStringLiteral("0"));
    QCOMPARE(exchange(server_.servletUrl(texts.urlSyncServlet),
                      syncBody(QStringLiteral("XXXXXXXXXXXXXXXXXXXXXXXX"), QStringLiteral("demo.user")))
                 .body,
             QByteArray("-2"));
}

void TestDevServer::expiredSession()
{
    DevServer server;
    QVERIFY(server.start(demoData(0)));
    const SharedText& texts = SharedText::get();
    const QStringList authFields =
        decipheredFields(exchange(server.servletUrl(texts.urlAuthServlet),
                                  authBody(QStringLiteral("demo.user"), QStringLiteral("demo-pass-2026")))
                             .body);
    QCOMPARE(authFields.value(0), QStringLiteral("10"));
    const ReplyResult sync =
        exchange(server.servletUrl(texts.urlSyncServlet), syncBody(authFields.value(1), QStringLiteral("demo.user")));
    QCOMPARE(decipheredFields(sync.body).value(0), QStringLiteral("1"));
}

void TestDevServer::clientGoneDuringDelay()
{
    // A reply held back by a delay outlives a client that closes its connection meanwhile: the server must drop
    // it, not write to the socket that went with the client.
    QJsonObject data = demoData(3600);
    QJsonArray users = data.value(QStringLiteral("users")).toArray();
    QJsonObject demo = users.at(0).toObject();
    demo.insert(QStringLiteral("overrides"),
                QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("delayMs"), 300}}}});
    users.replace(0, demo);
    data.insert(QStringLiteral("users"), users);
    DevServer server;
    QVERIFY(server.start(data));
    const QString url = server.servletUrl(SharedText::get().urlAuthServlet);
    const QByteArray body = authBody(QStringLiteral("demo.user"), QStringLiteral("demo-pass-2026"));

    for (int client = 0; client < 3; ++client) {
        ReplyTracker tracker;
        tracker.track(HttpsTransport::postRequest(url, body, 0), [](const ReplyResult&) {});
        // The server has the request and holds its reply; then the client goes.
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), client + 1, 15000);
        tracker.release();
    }
    // This reply is held as long as those were, so when it comes their delays have run out too.
    const ReplyResult next = exchange(url, body);
    QCOMPARE(next.error, 0);
    QCOMPARE(decipheredFields(next.body).value(0), QStringLiteral("10"));
}

QTEST_GUILESS_MAIN(TestDevServer)
#include "tst_devserver.moc"
