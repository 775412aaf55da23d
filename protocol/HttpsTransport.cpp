#include "protocol/HttpsTransport.h"

#include "core/CoreServices.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCipher>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

#include <utility>

#include "EmbeddedServerCa.h"

namespace {
// The platform's own proxy choice (the desktop's settings, or on Linux the http_proxy and no_proxy variables). Qt
// consults it only when asked to, so a manager without an explicit proxy is given this factory.
class PlatformProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

// Origin that replaces the program's server origin in every request; empty in the program.
QString& redirectedOrigin()
{
    static QString origin;
    return origin;
}

QUrl requestUrl(const QString& url)
{
    QUrl target(url);
    if (!redirectedOrigin().isEmpty()) {
        const QUrl origin(redirectedOrigin());
        target.setHost(origin.host());
        target.setPort(origin.port());
    }
    return target;
}

QList<QSslCertificate>& additionalCas()
{
    static QList<QSslCertificate> certificates;
    return certificates;
}

// Set on a reply that a limit ended: readReply reports this failure, whatever the reply said before it was cut.
constexpr char kLimitErrorProperty[] = "veltraneLimitError";
constexpr char kLimitTextProperty[] = "veltraneLimitText";

int& noProgressTimeoutMs()
{
    static int value = HttpsTransport::kNoProgressTimeoutMs;
    return value;
}

int& requestDeadlineMs()
{
    static int value = HttpsTransport::kRequestDeadlineMs;
    return value;
}

// Watches one reply and ends it as a network failure when it stalls, runs past its deadline, or brings more than
// kMaxReplyBytes. It lives as the reply's child, so it goes with the reply, and it gathers the body itself into one
// block of the limit's size, taking each chunk as it comes, so that a body past the limit is dropped after about the
// limit, never read whole.
class RequestLimits : public QObject {
public:
    static constexpr char kObjectName[] = "veltraneRequestLimits";
    // What Qt is asked to hold unread. (Qt 6.4 may still gather more between two readyRead signals when its HTTP
    // thread outpaces this one.)
    static constexpr qint64 kChunkBytes = 64 * 1024;

    explicit RequestLimits(QNetworkReply* reply) : QObject(reply), reply_(reply)
    {
        setObjectName(QLatin1String(kObjectName));
        reply->setReadBufferSize(kChunkBytes);
        idle_.setSingleShot(true);
        idle_.setTimerType(Qt::PreciseTimer);
        idle_.setInterval(noProgressTimeoutMs());
        deadline_.setSingleShot(true);
        deadline_.setTimerType(Qt::PreciseTimer);
        deadline_.setInterval(requestDeadlineMs());
        connect(&idle_, &QTimer::timeout, this,
                [this] { fail(QNetworkReply::TimeoutError, QStringLiteral("The server stopped answering")); });
        connect(&deadline_, &QTimer::timeout, this,
                [this] { fail(QNetworkReply::TimeoutError, QStringLiteral("The server took too long to answer")); });
        connect(reply, &QNetworkReply::uploadProgress, this, &RequestLimits::progressed);
        connect(reply, &QNetworkReply::encrypted, this, &RequestLimits::progressed);
        connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
            progressed();
            // A body announced larger than the limit is refused before any of it is read.
            bool known = false;
            const qint64 announced = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
            if (known && announced > maxReplyBytes_) {
                tooLarge();
            }
        });
        connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
            progressed();
            if (received > maxReplyBytes_) {
                tooLarge();
            }
        });
        connect(reply, &QNetworkReply::readyRead, this, [this] {
            progressed();
            gather();
        });
        connect(reply, &QNetworkReply::finished, this, [this] {
            idle_.stop();
            deadline_.stop();
        });
        idle_.start();
        deadline_.start();
    }

    // The limits this request is held to: the timers' own intervals and the size the body is counted against.
    HttpsTransport::Limits inForce() const { return {idle_.interval(), deadline_.interval(), maxReplyBytes_}; }

    // The body gathered so far plus what Qt still holds; empty once a limit has ended the request.
    QByteArray takeBody()
    {
        gather();
        return failed_ ? QByteArray() : std::exchange(body_, QByteArray());
    }

private:
    void progressed()
    {
        if (!failed_) {
            idle_.start();
        }
    }

    void gather()
    {
        if (failed_) {
            return;
        }
        const qint64 available = reply_->bytesAvailable();
        if (available <= 0) {
            return;
        }
        if (body_.size() + available > maxReplyBytes_) {
            tooLarge();
            return;
        }
        if (body_.capacity() == 0) {
            // Room for the whole body at once: growing step by step would hold the old and the new block together.
            bool known = false;
            const qint64 announced = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
            body_.reserve(known && announced > 0 ? announced : maxReplyBytes_);
        }
        body_.append(reply_->readAll());
    }

    void tooLarge()
    {
        fail(QNetworkReply::ProtocolFailure, QStringLiteral("The reply is larger than %1 bytes").arg(maxReplyBytes_));
    }

    void fail(QNetworkReply::NetworkError error, const QString& text)
    {
        if (failed_) {
            return;
        }
        failed_ = true;
        idle_.stop();
        deadline_.stop();
        body_ = QByteArray();
        reply_->setProperty(kLimitErrorProperty, int(error));
        reply_->setProperty(kLimitTextProperty, text);
        // Aborted from the event loop, never from inside the signal Qt is delivering: the reply's handler runs
        // from its finished signal and may open a box.
        if (!reply_->isFinished()) {
            QMetaObject::invokeMethod(reply_, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    }

    QNetworkReply* reply_;
    const qint64 maxReplyBytes_ = HttpsTransport::kMaxReplyBytes;
    QTimer idle_;
    QTimer deadline_;
    QByteArray body_;
    bool failed_ = false;
};

// The watch postRequest gave the reply; nullptr for a reply made elsewhere.
RequestLimits* limitsWatch(const QNetworkReply* reply)
{
    return static_cast<RequestLimits*>(
        reply->findChild<QObject*>(QLatin1String(RequestLimits::kObjectName), Qt::FindDirectChildrenOnly));
}

// TLS 1.3 suites are all forward-secret and authenticated-encryption; of the TLS 1.2 ones only ECDHE key exchange
// with an AEAD cipher is kept: a static RSA key exchange lets whoever later gets the server's key read every
// recorded session (the password included), and CBC with SHA-1 has a history of padding attacks.
QList<QSslCipher> forwardSecretAeadCiphers(const QList<QSslCipher>& ciphers)
{
    QList<QSslCipher> kept;
    for (const QSslCipher& cipher : ciphers) {
        const QString encryption = cipher.encryptionMethod();
        const bool aead = encryption.contains(QLatin1String("GCM")) || encryption.contains(QLatin1String("CCM")) ||
                          encryption.contains(QLatin1String("CHACHA20"));
        if (cipher.protocol() == QSsl::TlsV1_3 || (cipher.keyExchangeMethod() == QLatin1String("ECDH") && aead)) {
            kept.append(cipher);
        }
    }
    return kept;
}

const QList<QSslCertificate>& builtInCas()
{
    // VELTRANE_SERVER_CA of the build, or for a loopback development build its own authority; nothing otherwise.
    static const QList<QSslCertificate> certificates = QSslCertificate::fromData(
        QByteArray(reinterpret_cast<const char*>(kEmbeddedServerCa), qsizetype(kEmbeddedServerCaSize)), QSsl::Pem);
    return certificates;
}
} // namespace

namespace HttpsTransport {

bool lacksTlsComponent(const QString& errorText)
{
    return errorText.contains(QLatin1String("Error creating SSL context"));
}

QSslConfiguration tlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::SecureProtocols);
    configuration.setCiphers(forwardSecretAeadCiphers(configuration.ciphers()));
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Added to the default store rather than replacing it, so that a platform that loads its roots on demand
    // (Windows) still does.
    const QList<QSslCertificate> extra = builtInCas() + additionalCas();
    if (!extra.isEmpty()) {
        configuration.addCaCertificates(extra);
    }
    return configuration;
}

void setAdditionalCaCertificates(const QList<QSslCertificate>& certificates)
{
    additionalCas() = certificates;
}

void redirectForTests(const QString& origin)
{
    redirectedOrigin() = origin;
}

void setTimeLimitsForTests(int noProgressTimeout, int requestDeadline)
{
    noProgressTimeoutMs() = noProgressTimeout > 0 ? noProgressTimeout : kNoProgressTimeoutMs;
    requestDeadlineMs() = requestDeadline > 0 ? requestDeadline : kRequestDeadlineMs;
}

// The request traces ("SSL Support is ...", the URL) are for whoever debugs a connection, off unless
// QT_LOGGING_RULES="veltrane.requests.debug=true": a desktop session keeps the program's output in its journal.
Q_LOGGING_CATEGORY(requestTrace, "veltrane.requests", QtWarningMsg)

QNetworkReply* postRequest(const QString& url, const QByteArray& body, int proxyMode)
{
    auto* manager = new QNetworkAccessManager;
    if (proxyMode == 1) {
        const ProxyConfig proxy = coreServices() ? coreServices()->proxyConfig() : ProxyConfig{};
        logActivity(QStringLiteral("Proxy Configured:"));
        // A port no TCP connection can use fails the request like an unreachable proxy (port 0 is never
        // connected); cut to 16 bits it would send the traffic, credentials included, to some other port.
        const quint16 port = proxy.port >= 1 && proxy.port <= 65535 ? quint16(proxy.port) : 0;
        manager->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, proxy.host, port, proxy.user, proxy.password));
    } else if (proxyMode == 0) {
        // Direct even when the environment or the desktop names a proxy.
        manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy, QString(), 0, QString(), QString()));
    } else {
        manager->setProxyFactory(new PlatformProxies); // the manager owns it
    }

    qCDebug(requestTrace).noquote() << QStringLiteral("SSL Support is ") + (QSslSocket::supportsSsl()
                                                                                ? QStringLiteral("true")
                                                                                : QStringLiteral("false"));
    qCDebug(requestTrace).noquote() << QStringLiteral("URL ") + url;

    QNetworkRequest request{requestUrl(url)};
    // The server reads raw bytes; naming them keeps the HTTP stack from guessing a form encoding.
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/octet-stream"));
    request.setSslConfiguration(tlsConfiguration());
    // A redirect is an answer outside 200-299 like any other: it fails the request instead of being followed.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // The body is counted as it arrives; a compressed one would be inflated past what was counted.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    QNetworkReply* reply = manager->post(request, body);
    new RequestLimits(reply); // the reply owns it
    // The reply is the manager's child; the manager goes once its reply has gone.
    QObject::connect(reply, &QObject::destroyed, manager, &QObject::deleteLater);
    return reply;
}

Limits limitsOf(const QNetworkReply* reply)
{
    const RequestLimits* limits = limitsWatch(reply);
    return limits ? limits->inForce() : Limits{};
}

ReplyResult readReply(QNetworkReply* reply)
{
    ReplyResult result;
    result.error = int(reply->error());
    result.errorText = reply->errorString();
    result.dateHeader = reply->rawHeader(QByteArrayLiteral("Date"));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool success = status.isValid() && status.toInt() >= 200 && status.toInt() <= 299;
    if (result.error == 0 && !success) {
        // Qt reports 4xx and 5xx itself; a status it takes for no error (1xx, 3xx, odd codes) is a failure all the
        // same: only a 2xx body is a reply of the servlet.
        result.error = int(QNetworkReply::ProtocolFailure);
        result.errorText = status.isValid() ? QStringLiteral("Unexpected HTTP status %1").arg(status.toInt())
                                            : QStringLiteral("No HTTP status");
    }
    if (result.error == 0) {
        RequestLimits* limits = limitsWatch(reply);
        result.body = limits ? limits->takeBody() : reply->readAll();
    }
    // A limit that ended the request, even one the last bytes passed, makes it a failure whatever Qt reported.
    const QVariant limitError = reply->property(kLimitErrorProperty);
    if (limitError.isValid()) {
        result.error = limitError.toInt();
        result.errorText = reply->property(kLimitTextProperty).toString();
        result.body.clear();
    }
    return result;
}

} // namespace HttpsTransport

ReplyTracker::ReplyTracker(QObject* parent) : QObject(parent) {}

ReplyTracker::~ReplyTracker()
{
    // Replies still in flight belong to nobody else; drop them and, with them, their managers.
    for (const QPointer<QNetworkReply>& reply : std::as_const(pending_)) {
        if (reply) {
            reply->disconnect(this);
            reply->deleteLater();
        }
    }
}

void ReplyTracker::release()
{
    current_ = nullptr;
    const QList<QPointer<QNetworkReply>> replies = std::exchange(pending_, {});
    for (const QPointer<QNetworkReply>& reply : replies) {
        if (reply) {
            // Disconnected first: the abort finishes the reply, and nobody waits for its answer any more.
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }
}

void ReplyTracker::track(QNetworkReply* reply, Handler handler)
{
    if (!reply) {
        return;
    }
    current_ = reply;
    pending_.append(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, handler = std::move(handler)] { finished(reply, handler); });
}

void ReplyTracker::finished(QNetworkReply* reply, const Handler& handler)
{
    pending_.removeAll(reply);
    reply->deleteLater();
    if (reply != current_) {
        emit discarded();
        return;
    }
    current_ = nullptr;
    const ReplyResult result = HttpsTransport::readReply(reply);
    if (handler) {
        handler(result);
    }
}
