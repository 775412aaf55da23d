#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>

#include <functional>

// What a reply handler gets once a request has finished.
struct ReplyResult {
    // QNetworkReply::NetworkError; 0 = no error. Every HTTP status outside 200-299 arrives here (Qt's code for 4xx
    // and 5xx, ProtocolFailure for the others), never as a body.
    int error = 0;
    // The reply's error text; a platform without a TLS component reports "Error creating SSL context" in it.
    QString errorText;
    // The whole body, read once; empty unless error is 0.
    QByteArray body;
    // The raw "Date" header, from which the token screen takes the server's clock.
    QByteArray dateHeader;
};

// One HTTPS POST per transaction. TLS 1.2 or later only, and the server's certificate and host name are checked
// against the system's trust store plus the authority built into the program: the body carries the user's password.
namespace HttpsTransport {

// Limits of every request. Replies are a few KiB and each screen waits for one request at a time, so a server that
// stalls must not hold Login or Sync for ever, nor a huge reply take the memory: past a limit the request fails
// like any other network failure (no retry).
// No byte up or down for this long: the server is gone (a held connection, a stalled handshake or body).
constexpr int kNoProgressTimeoutMs = 30000;
// Whatever arrives, a request ends this long after it was sent (a server that trickles a byte now and then).
constexpr int kRequestDeadlineMs = 90000;
// A reply body above this many bytes is refused while it streams, announced or not.
constexpr qint64 kMaxReplyBytes = 1048576;

// The limits one request is held to.
struct Limits {
    int noProgressTimeoutMs = 0;
    int requestDeadlineMs = 0;
    qint64 maxReplyBytes = 0;
};

// The limits in force on a reply that postRequest made, read back from what enforces them (its timers and the size
// its body is counted against); all zero for a reply made otherwise.
Limits limitsOf(const QNetworkReply* reply);

// Posts the body unchanged to the URL through a network manager made for this request alone and returns the pending
// reply. proxyMode 1 uses the configured HTTP proxy (and logs "Proxy Configured:"), 0 no proxy at all, anything else
// the platform's default. The manager is released when the reply is: whoever handles the reply deletes it (later).
QNetworkReply* postRequest(const QString& url, const QByteArray& body, int proxyMode);

// The error code, error text, whole body and raw Date header of a finished reply. A reply whose status lies outside
// 200-299 is a failure and its body is not passed on.
ReplyResult readReply(QNetworkReply* reply);

// Whether a reply's error text tells that the platform has no TLS component: then no request can reach the server.
bool lacksTlsComponent(const QString& errorText);

// The TLS settings every request uses.
QSslConfiguration tlsConfiguration();

// Authorities trusted besides the system's and the built-in one; for tests whose server is issued by a private
// authority other than the built-in one. Empty by default.
void setAdditionalCaCertificates(const QList<QSslCertificate>& certificates);

// For tests of the screens, which post to the program's fixed servlet addresses: every request goes to the host and
// port of this origin ("https://127.0.0.1:PORT") instead, path unchanged. An empty origin ends the redirection.
void redirectForTests(const QString& origin);

// For tests, which must not wait half a minute: replaces both time limits of the requests posted from now on. Zero
// (or less) restores the program's values.
void setTimeLimitsForTests(int noProgressTimeoutMs, int requestDeadlineMs);

} // namespace HttpsTransport

// A screen's current request. The reply tracked last is the current one; when an older reply finishes it is
// discarded unread, so a slow first reply can never be taken for the answer to a second request. Every reply is
// released (with its network manager) once it has been handled or discarded.
class ReplyTracker : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const ReplyResult&)>;

    explicit ReplyTracker(QObject* parent = nullptr);
    ~ReplyTracker() override;

    // Makes the reply current; when it finishes while still current, the handler gets its result.
    void track(QNetworkReply* reply, Handler handler);
    // The current reply, or nullptr when none is pending.
    QNetworkReply* current() const { return current_; }
    // Gives up every reply still pending: each is aborted and released, and no handler runs for it.
    void release();

signals:
    // A reply that was no longer current finished and was dropped.
    void discarded();

private:
    void finished(QNetworkReply* reply, const Handler& handler);

    QPointer<QNetworkReply> current_;
    QList<QPointer<QNetworkReply>> pending_;
};
