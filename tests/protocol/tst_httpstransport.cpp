// The transport against the development server as a separate process over real TLS: which certificates are
// accepted, how HTTP errors and the Date header arrive, the three proxy modes through a real tinyproxy, and that a
// stale reply is never read in place of the current one. Hostile servers (their own processes) show the limits of a
// request, and a TLS 1.2-only server, checked with openssl s_client, which suites are offered.
#include "support/FakeCoreServices.h"
#include "TinyProxy.h"
#include "core/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "protocol/RegTransaction.h"
#include "support/DevServer.h"
#include "support/HostileServer.h"
#include "support/PeakMemory.h"
#include "support/ReleaseDeferred.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
constexpr int kReplyTimeoutMs = 30000;
// The peak above idle, in KiB, past which a 200 MiB reply counts as read whole rather than refused at 1 MiB.
constexpr int kBodyReadWholeKib = 16 * 1024;

QJsonObject userEntry(const QString& name, const QJsonObject& overrides = {}, const QJsonObject& date = {})
{
    QJsonObject user{
        {QStringLiteral("name"), name},
        {QStringLiteral("password"), QStringLiteral("secret-pass")},
        {QStringLiteral("account"), QStringLiteral("active")},
        {QStringLiteral("devices"), QJsonObject{{QStringLiteral("DEVICE-") + name, QStringLiteral("registered")}}},
        {QStringLiteral("overrides"), overrides}};
    if (!date.isEmpty()) {
        user.insert(QStringLiteral("date"), date);
    }
    return user;
}

QJsonObject serverData()
{
    auto fixed = [](const char* format, int offset) {
        return QJsonObject{{QStringLiteral("format"), QLatin1String(format)},
                           {QStringLiteral("fixed"), QStringLiteral("1994-11-06T08:49:37Z")},
                           {QStringLiteral("offsetSeconds"), offset}};
    };
    // A well-formed status reply (code 22) sent with another HTTP status: only its status may count.
    auto withStatus = [](int status) {
        return QJsonObject{{QStringLiteral("stat"), QJsonObject{{QStringLiteral("httpStatus"), status},
                                                                {QStringLiteral("code"), QStringLiteral("22")}}}};
    };
    const QJsonObject slow{{QStringLiteral("stat"), QJsonObject{{QStringLiteral("delayMs"), 1500},
                                                                {QStringLiteral("code"), QStringLiteral("22")}}}};
    return {{QStringLiteral("users"), QJsonArray{userEntry(QStringLiteral("plain.user")),
                                                 userEntry(QStringLiteral("fail500.user"), withStatus(500)),
                                                 userEntry(QStringLiteral("fail404.user"), withStatus(404)),
                                                 userEntry(QStringLiteral("redirect302.user"), withStatus(302)),
                                                 userEntry(QStringLiteral("created201.user"), withStatus(201)),
                                                 userEntry(QStringLiteral("slow.user"), slow),
                                                 userEntry(QStringLiteral("rfc1123.user"), {}, fixed("rfc1123", 0)),
                                                 userEntry(QStringLiteral("rfc850.user"), {}, fixed("rfc850", 0)),
                                                 userEntry(QStringLiteral("asctime.user"), {}, fixed("asctime", 0)),
                                                 userEntry(QStringLiteral("ahead.user"), {}, fixed("rfc1123", 121))}}};
}

// Waits for the handler of a tracked reply; the tracker releases the reply once handled.
ReplyResult waitForResult(QNetworkReply* reply)
{
    ReplyTracker tracker;
    ReplyResult result;
    bool done = false;
    tracker.track(reply, [&](const ReplyResult& handled) {
        result = handled;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kReplyTimeoutMs)) {
        result.error = -1;
        result.errorText = QStringLiteral("no reply in time");
    }
    return result;
}

// Shortened for these tests; the program waits 30 s without progress and 90 s in all.
constexpr int kTestNoProgressMs = 1500;
constexpr int kTestDeadlineMs = 6000;
// What a loaded machine may add to a limit before the failure arrives.
constexpr int kLateMs = 10000;

bool runOpenSsl(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    openssl.closeWriteChannel();
    const bool finished = openssl.waitForFinished(60000);
    if (output) {
        *output = openssl.readAll();
    }
    return finished && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

} // namespace

class TestHttpsTransport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void shippedLimits();
    void certificates_data();
    void certificates();
    void httpStatusOutside2xxFails_data();
    void httpStatusOutside2xxFails();
    void dateHeader_data();
    void dateHeader();
    void proxyModes_data();
    void proxyModes();
    void staleReplyIsDiscarded();
    void unusableProxyPortFails_data();
    void unusableProxyPortFails();
    void limits_data();
    void limits();
    void releaseDropsPendingReplies();
    void tls12Suites_data();
    void tls12Suites();

private:
    // A status request for the user and the decoded code, through the given proxy mode.
    ReplyResult postStatus(const QString& user, int proxyMode, const RegTransaction& transaction);

    DevServer server_;
    FakeCoreServices services_;
};

void TestHttpsTransport::initTestCase()
{
#ifndef VELTRANE_BUILD_TRUSTS_DEV_CA
    // A build that embeds another authority: trust the development one for these tests.
    HttpsTransport::setAdditionalCaCertificates(
        QSslCertificate::fromPath(DevServer::certificateDir() + QStringLiteral("/ca.pem")));
#endif
    QVERIFY2(server_.start(serverData()), qPrintable(server_.errorOutput()));
}

void TestHttpsTransport::init()
{
    // The environment may name proxies of its own; each case sets what it needs.
    for (const char* name :
         {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        qunsetenv(name);
    }
    services_.logLines.clear();
}

void TestHttpsTransport::cleanup()
{
    init();
    releaseDeferred();
}

ReplyResult TestHttpsTransport::postStatus(const QString& user, int proxyMode, const RegTransaction& transaction)
{
    const QByteArray body =
        transaction.buildStatusRequest(user, QStringLiteral("secret-pass"), QStringLiteral("DEVICE-") + user);
    return waitForResult(
        HttpsTransport::postRequest(server_.servletUrl(SharedText::get().urlStatServlet), body, proxyMode));
}

void TestHttpsTransport::shippedLimits()
{
    // Read back from requests as the program posts them: the other cases shorten the time limits, so they would
    // never notice the program's own limits change. This case comes first, before any of them has shortened them.
    // The limits of a status request, read while it runs; it then runs to its end.
    const auto limitsOfRequest = [this] {
        const QByteArray body = RegTransaction().buildStatusRequest(
            QStringLiteral("plain.user"), QStringLiteral("secret-pass"), QStringLiteral("DEVICE-plain.user"));
        QNetworkReply* reply =
            HttpsTransport::postRequest(server_.servletUrl(SharedText::get().urlStatServlet), body, 0);
        const HttpsTransport::Limits limits = HttpsTransport::limitsOf(reply);
        waitForResult(reply);
        return limits;
    };
    const auto checkShipped = [](const HttpsTransport::Limits& limits) {
        // 30 s without a byte up or down, 90 s in all, 1 MiB of reply body.
        QCOMPARE(limits.noProgressTimeoutMs, 30000);
        QCOMPARE(limits.requestDeadlineMs, 90000);
        QCOMPARE(limits.maxReplyBytes, qint64(1048576));
    };
    checkShipped(limitsOfRequest());
    if (QTest::currentTestFailed()) {
        return;
    }

    // What a test sets is what the next request is held to, and zero gives the program's limits back.
    HttpsTransport::setTimeLimitsForTests(kTestNoProgressMs, kTestDeadlineMs);
    const HttpsTransport::Limits shortened = limitsOfRequest();
    HttpsTransport::setTimeLimitsForTests(0, 0);
    QCOMPARE(shortened.noProgressTimeoutMs, kTestNoProgressMs);
    QCOMPARE(shortened.requestDeadlineMs, kTestDeadlineMs);
    QCOMPARE(shortened.maxReplyBytes, qint64(1048576));
    checkShipped(limitsOfRequest());
}

void TestHttpsTransport::certificates_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("trusted authority, right host") << QStringLiteral("server") << true;
    QTest::newRow("untrusted authority") << QStringLiteral("untrusted") << false;
    QTest::newRow("certificate for another host") << QStringLiteral("otherhost") << false;
}

void TestHttpsTransport::certificates()
{
    QFETCH(QString, certificate);
    QFETCH(bool, accepted);
    DevServer server;
    QVERIFY2(server.start(serverData(), certificate), qPrintable(server.errorOutput()));
    const RegTransaction transaction;
    const QByteArray body = transaction.buildStatusRequest(QStringLiteral("plain.user"), QStringLiteral("secret-pass"),
                                                           QStringLiteral("DEVICE-plain.user"));
    const ReplyResult result =
        waitForResult(HttpsTransport::postRequest(server.servletUrl(SharedText::get().urlStatServlet), body, 0));
    if (accepted) {
        QCOMPARE(result.error, 0);
        QCOMPARE(transaction.decodeStatusReply(result.body), QStringLiteral("10"));
    } else {
        QCOMPARE(result.error, int(QNetworkReply::SslHandshakeFailedError));
        QVERIFY(!result.errorText.isEmpty());
        QVERIFY(result.body.isEmpty());
        // The refused server never saw the request.
        QVERIFY(server.requests().isEmpty());
    }
}

void TestHttpsTransport::httpStatusOutside2xxFails_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("error");
    QTest::newRow("500 server error") << QStringLiteral("fail500.user") << int(QNetworkReply::InternalServerError);
    QTest::newRow("404 not found") << QStringLiteral("fail404.user") << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("302 redirect without a target")
        << QStringLiteral("redirect302.user") << int(QNetworkReply::ProtocolFailure);
    QTest::newRow("201 is still a success") << QStringLiteral("created201.user") << 0;
}

void TestHttpsTransport::httpStatusOutside2xxFails()
{
    QFETCH(QString, user);
    QFETCH(int, error);
    const RegTransaction transaction;
    const ReplyResult result = postStatus(user, 0, transaction);
    QCOMPARE(result.error, error);
    if (error == 0) {
        QCOMPARE(transaction.decodeStatusReply(result.body), QStringLiteral("22"));
    } else {
        // The server did send a decodable reply body; the handler never gets it.
        QVERIFY(!result.errorText.isEmpty());
        QVERIFY(result.body.isEmpty());
    }
}

void TestHttpsTransport::dateHeader_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("date");
    QTest::newRow("RFC 1123") << QStringLiteral("rfc1123.user") << QByteArray("Sun, 06 Nov 1994 08:49:37 GMT");
    QTest::newRow("RFC 850") << QStringLiteral("rfc850.user") << QByteArray("Sunday, 06-Nov-94 08:49:37 GMT");
    QTest::newRow("asctime") << QStringLiteral("asctime.user") << QByteArray("Sun Nov  6 08:49:37 1994");
    QTest::newRow("clock 121 s ahead") << QStringLiteral("ahead.user") << QByteArray("Sun, 06 Nov 1994 08:51:38 GMT");
}

void TestHttpsTransport::dateHeader()
{
    QFETCH(QString, user);
    QFETCH(QByteArray, date);
    const RegTransaction transaction;
    const ReplyResult result = postStatus(user, 0, transaction);
    QCOMPARE(result.error, 0);
    QCOMPARE(result.dateHeader, date);
}

void TestHttpsTransport::proxyModes_data()
{
    QTest::addColumn<int>("proxyMode");
    QTest::addColumn<QString>("proxyAuth");      // tinyproxy's BasicAuth "user password", empty for none
    QTest::addColumn<QString>("configuredAuth"); // what the settings hold, "user password"
    QTest::addColumn<QString>("environment");    // "proxy", "dead" or empty: what https_proxy names
    QTest::addColumn<bool>("throughProxy");
    QTest::addColumn<bool>("succeeds");

    QTest::newRow("mode 1, open proxy") << 1 << QString() << QString() << QString() << true << true;
    QTest::newRow("mode 1, basic authentication")
        << 1 << QStringLiteral("proxyuser proxy-pass") << QStringLiteral("proxyuser proxy-pass") << QString() << true
        << true;
    QTest::newRow("mode 1, wrong proxy password")
        << 1 << QStringLiteral("proxyuser proxy-pass") << QStringLiteral("proxyuser wrong-pass") << QString() << false
        << false;
    QTest::newRow("mode 0 ignores a dead environment proxy")
        << 0 << QString() << QString() << QStringLiteral("dead") << false << true;
    QTest::newRow("mode 2 follows the environment proxy")
        << 2 << QString() << QString() << QStringLiteral("proxy") << true << true;
    QTest::newRow("mode 2 follows a dead environment proxy")
        << 2 << QString() << QString() << QStringLiteral("dead") << false << false;
}

void TestHttpsTransport::proxyModes()
{
    QFETCH(int, proxyMode);
    QFETCH(QString, proxyAuth);
    QFETCH(QString, configuredAuth);
    QFETCH(QString, environment);
    QFETCH(bool, throughProxy);
    QFETCH(bool, succeeds);

    TinyProxy proxy;
    QVERIFY(proxy.start(proxyAuth.section(QLatin1Char(' '), 0, 0), proxyAuth.section(QLatin1Char(' '), 1)));
    services_.proxy = {QStringLiteral("127.0.0.1"), proxy.port(), configuredAuth.section(QLatin1Char(' '), 0, 0),
                       configuredAuth.section(QLatin1Char(' '), 1)};
    // Proxy variables as a desktop session sets them, for https and plain http alike.
    if (!environment.isEmpty()) {
        const quint16 port = environment == QLatin1String("proxy") ? proxy.port() : deadLoopbackPort();
        const QByteArray address = QByteArray("http://127.0.0.1:") + QByteArray::number(port);
        qputenv("https_proxy", address);
        qputenv("http_proxy", address);
    }

    const RegTransaction transaction;
    const ReplyResult result = postStatus(QStringLiteral("plain.user"), proxyMode, transaction);
    QCOMPARE(result.error == 0, succeeds);
    if (succeeds) {
        QCOMPARE(transaction.decodeStatusReply(result.body), QStringLiteral("10"));
    }
    const QString tunnel = QStringLiteral("CONNECT 127.0.0.1:%1").arg(server_.port());
    QCOMPARE(proxy.log().contains(tunnel) && succeeds, throughProxy);
    QCOMPARE(services_.logLines.count(QStringLiteral("Proxy Configured:")), proxyMode == 1 ? 1 : 0);
}

void TestHttpsTransport::unusableProxyPortFails_data()
{
    // Offsets from tinyproxy's port: each stored port, cut to 16 bits, would land on the proxy itself.
    QTest::addColumn<int>("offset");
    QTest::newRow("port 65536 above the proxy's") << 65536;
    QTest::newRow("port 131072 above the proxy's") << 131072;
}

void TestHttpsTransport::unusableProxyPortFails()
{
    QFETCH(int, offset);
    TinyProxy proxy;
    QVERIFY(proxy.start());
    services_.proxy = {QStringLiteral("127.0.0.1"), int(proxy.port()) + offset, QString(), QString()};
    const RegTransaction transaction;
    const ReplyResult result = postStatus(QStringLiteral("plain.user"), 1, transaction);
    QVERIFY(result.error != 0);
    QVERIFY(!proxy.log().contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(server_.port())));

    // Zero and negative ports are refused the same way.
    for (const int port : {0, -1}) {
        services_.proxy.port = port;
        QVERIFY(postStatus(QStringLiteral("plain.user"), 1, transaction).error != 0);
    }
}

void TestHttpsTransport::staleReplyIsDiscarded()
{
    const RegTransaction transaction;
    const QString url = server_.servletUrl(SharedText::get().urlStatServlet);
    auto post = [&](const QString& user) {
        return HttpsTransport::postRequest(
            url, transaction.buildStatusRequest(user, QStringLiteral("secret-pass"), QStringLiteral("DEVICE-") + user),
            0);
    };

    ReplyTracker tracker;
    QSignalSpy discarded(&tracker, &ReplyTracker::discarded);
    QStringList handled;
    auto handler = [&](const ReplyResult& result) { handled.append(transaction.decodeStatusReply(result.body)); };

    // The slow user's reply (forced to 22) arrives after the second request's reply (10).
    QPointer<QNetworkReply> first = post(QStringLiteral("slow.user"));
    QPointer<QNetworkAccessManager> firstManager = first->manager();
    tracker.track(first, handler);
    QPointer<QNetworkReply> second = post(QStringLiteral("plain.user"));
    QPointer<QNetworkAccessManager> secondManager = second->manager();
    tracker.track(second, handler);

    QTRY_COMPARE_WITH_TIMEOUT(discarded.count(), 1, kReplyTimeoutMs);
    QCOMPARE(handled, QStringList{QStringLiteral("10")});
    QCOMPARE(tracker.current(), nullptr);

    // Both replies and their managers are released once handled.
    releaseDeferred();
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QVERIFY(firstManager.isNull());
    QVERIFY(secondManager.isNull());
}

void TestHttpsTransport::limits_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    // The failure comes no earlier than this (the limit that ends it), and no later than this plus kLateMs.
    QTest::addColumn<int>("limitMs");
    // The bound of the peak resident memory above the idle figure, in KiB; 0 for none.
    QTest::addColumn<int>("peakKib");
    const int timeout = int(QNetworkReply::TimeoutError);
    const int tooLarge = int(QNetworkReply::ProtocolFailure);
    const QString stopped = QStringLiteral("The server stopped answering");
    const QString tooLong = QStringLiteral("The server took too long to answer");
    const QString larger = QStringLiteral("The reply is larger than 1048576 bytes");
    QTest::newRow("connection held") << QStringLiteral("hold") << QStringList() << timeout << stopped
                                     << kTestNoProgressMs << 0;
    QTest::newRow("stalled TLS handshake")
        << QStringLiteral("handshake") << QStringList() << timeout << stopped << kTestNoProgressMs << 0;
    QTest::newRow("headers then silence")
        << QStringLiteral("headers") << QStringList() << timeout << stopped << kTestNoProgressMs << 0;
    // Progress every 250 ms keeps the no-progress limit away; the request's deadline ends it.
    QTest::newRow("one byte at a time") << QStringLiteral("trickle")
                                        << QStringList{QStringLiteral("--interval-ms"), QStringLiteral("250")}
                                        << timeout << tooLong << kTestDeadlineMs << 0;
    // The 200 MiB bodies are refused at 1 MiB. The process's peak then holds the transport's 1 MiB block, the
    // pieces in flight and what Qt's network thread reads ahead of a busy main thread, whatever the read buffer
    // says: up to 7 MiB above idle on a loaded machine (30 runs). Past 16 MiB the body counts as read whole; read
    // whole, it is 200 MiB and more.
    QTest::newRow("200 MiB announced") << QStringLiteral("big") << QStringList() << tooLarge << larger << 0
                                       << kBodyReadWholeKib;
    QTest::newRow("200 MiB unannounced") << QStringLiteral("unsized") << QStringList() << tooLarge << larger << 0
                                         << kBodyReadWholeKib;
    QTest::newRow("one byte past the limit")
        << QStringLiteral("random") << QStringList{QStringLiteral("--body-bytes"), QStringLiteral("1048577")}
        << tooLarge << larger << 0 << 0;
    QTest::newRow("exactly the limit") << QStringLiteral("random")
                                       << QStringList{QStringLiteral("--body-bytes"), QStringLiteral("1048576")} << 0
                                       << QString() << 0 << 0;
}

void TestHttpsTransport::limits()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, arguments);
    QFETCH(int, error);
    QFETCH(QString, text);
    QFETCH(int, limitMs);
    QFETCH(int, peakKib);
    HostileServer hostile;
    QVERIFY(hostile.start(mode, arguments));
    // One ordinary request first, so that the TLS libraries and the network threads are in memory before the
    // idle figure; then a new peak starts.
    QCOMPARE(postStatus(QStringLiteral("plain.user"), 0, RegTransaction()).error, 0);
    releaseDeferred();
    PeakMemory memory;
    const bool peakReset = memory.restart();
    HttpsTransport::setTimeLimitsForTests(kTestNoProgressMs, kTestDeadlineMs);
    QElapsedTimer elapsed;
    elapsed.start();
    QPointer<QNetworkReply> reply = HttpsTransport::postRequest(
        hostile.baseUrl() + QStringLiteral("/Quarnet/StatServlet"), QByteArrayLiteral("request"), 0);
    HttpsTransport::setTimeLimitsForTests(0, 0);
    ReplyTracker tracker;
    ReplyResult result;
    bool done = false;
    // A real event loop that wakes for every event, as the program's: a polling wait would sleep while Qt's network
    // thread piles up what it reads, and the memory figure would be the test's.
    QEventLoop loop;
    tracker.track(reply, [&](const ReplyResult& handled) {
        result = handled;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(limitMs + kLateMs, &loop, &QEventLoop::quit);
    loop.exec();
    QVERIFY(done);
    QVERIFY2(elapsed.elapsed() >= limitMs, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(result.error, error);
    if (error != 0) {
        QCOMPARE(result.errorText, text);
        QVERIFY(result.body.isEmpty());
    } else {
        QCOMPARE(result.body.size(), qsizetype(HttpsTransport::kMaxReplyBytes));
    }
    releaseDeferred();
    QVERIFY(reply.isNull());
    if (peakKib > 0 && peakReset) {
        const qint64 above = memory.aboveIdle();
        qInfo("peak resident memory %lld KiB above the idle %lld KiB", above, memory.idleKib());
        if (!PeakMemory::underSanitizer()) {
            QVERIFY2(above <= peakKib, qPrintable(QString::number(above)));
        }
    }
}

void TestHttpsTransport::releaseDropsPendingReplies()
{
    HostileServer hostile;
    QVERIFY(hostile.start(QStringLiteral("hold")));
    ReplyTracker tracker;
    bool handled = false;
    QPointer<QNetworkReply> reply = HttpsTransport::postRequest(
        hostile.baseUrl() + QStringLiteral("/Quarnet/StatServlet"), QByteArrayLiteral("request"), 0);
    QPointer<QNetworkAccessManager> manager = reply->manager();
    tracker.track(reply, [&](const ReplyResult&) { handled = true; });
    QTRY_COMPARE_WITH_TIMEOUT(hostile.connections(), 1, kReplyTimeoutMs);
    tracker.release();
    QCOMPARE(tracker.current(), nullptr);
    releaseDeferred();
    QVERIFY(reply.isNull());
    QVERIFY(manager.isNull());
    QVERIFY(!handled);
}

void TestHttpsTransport::tls12Suites_data()
{
    QTest::addColumn<QString>("cipher");
    QTest::addColumn<bool>("rsaCertificate");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("static RSA, CBC") << QStringLiteral("AES256-SHA") << true << false;
    QTest::newRow("static RSA, GCM") << QStringLiteral("AES128-GCM-SHA256") << true << false;
    QTest::newRow("DHE, GCM") << QStringLiteral("DHE-RSA-AES128-GCM-SHA256") << true << false;
    QTest::newRow("ECDHE, CBC with SHA-1") << QStringLiteral("ECDHE-RSA-AES128-SHA") << true << false;
    QTest::newRow("ECDHE, CBC with SHA-384") << QStringLiteral("ECDHE-ECDSA-AES256-SHA384") << false << false;
    QTest::newRow("ECDHE, GCM") << QStringLiteral("ECDHE-RSA-AES128-GCM-SHA256") << true << true;
    QTest::newRow("ECDHE, ChaCha20") << QStringLiteral("ECDHE-RSA-CHACHA20-POLY1305") << true << true;
    QTest::newRow("ECDHE, ECDSA, GCM") << QStringLiteral("ECDHE-ECDSA-AES256-GCM-SHA384") << false << true;
}

void TestHttpsTransport::tls12Suites()
{
    QFETCH(QString, cipher);
    QFETCH(bool, rsaCertificate);
    QFETCH(bool, accepted);
    HostileServer hostile;
    QTemporaryDir dir;
    if (rsaCertificate) {
        // The development certificates carry EC keys; static RSA and ECDHE-RSA suites need an RSA key, issued here
        // by the same development authority for 127.0.0.1.
        const QString certs = DevServer::certificateDir() + QLatin1Char('/');
        QFile extensions(dir.filePath(QStringLiteral("san.cnf")));
        QVERIFY(extensions.open(QIODevice::WriteOnly));
        extensions.write("subjectAltName=IP:127.0.0.1\n");
        extensions.close();
        QVERIFY(runOpenSsl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-newkey"),
                            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), dir.filePath("rsa.key"),
                            QStringLiteral("-out"), dir.filePath("rsa.csr")}));
        QVERIFY(
            runOpenSsl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), dir.filePath("rsa.csr"),
                        QStringLiteral("-CA"), certs + QStringLiteral("ca.pem"), QStringLiteral("-CAkey"),
                        certs + QStringLiteral("ca.key"), QStringLiteral("-set_serial"), QStringLiteral("4242"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), extensions.fileName(),
                        QStringLiteral("-out"), dir.filePath("rsa.pem")}));
        hostile.setCertificate(dir.filePath("rsa.pem"), dir.filePath("rsa.key"));
    }
    // A named group (RFC 7919) for the DHE suites: nothing to generate.
    QVERIFY(runOpenSsl({QStringLiteral("genpkey"), QStringLiteral("-genparam"), QStringLiteral("-algorithm"),
                        QStringLiteral("DH"), QStringLiteral("-pkeyopt"), QStringLiteral("group:ffdhe2048"),
                        QStringLiteral("-out"), dir.filePath("dh.pem")}));
    QVERIFY(hostile.start(QStringLiteral("tls12"), {QStringLiteral("--ciphers"), cipher, QStringLiteral("--dh-params"),
                                                    dir.filePath("dh.pem")}));
    // The server really speaks this suite: openssl's own client gets it.
    QByteArray handshake;
    QVERIFY2(runOpenSsl({QStringLiteral("s_client"), QStringLiteral("-connect"),
                         QStringLiteral("127.0.0.1:%1").arg(hostile.port()), QStringLiteral("-tls1_2"),
                         QStringLiteral("-cipher"), cipher, QStringLiteral("-brief")},
                        &handshake),
             handshake.constData());
    QVERIFY2(handshake.contains(cipher.toLatin1()), handshake.constData());

    const ReplyResult result = waitForResult(HttpsTransport::postRequest(
        hostile.baseUrl() + QStringLiteral("/Quarnet/StatServlet"), QByteArrayLiteral("request"), 0));
    QVERIFY2((result.error == 0) == accepted, qPrintable(result.errorText));
}

QTEST_GUILESS_MAIN(TestHttpsTransport)
#include "tst_httpstransport.moc"
