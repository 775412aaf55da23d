#pragma once

#include "protocol/HttpsTransport.h"
#include "protocol/RegTransaction.h"

#include <QObject>
#include <QString>

#include <functional>

struct LoginReaction;
struct ReplyReaction;

// The requests that sign a user in, one after the other: the status request asks where this device stands for the
// user, a registration follows when the server asks for one, the authentication opens a session and the sync
// downloads the resources. The chain builds and sends each request, reads each reply, stores what the replies give
// (login.dat through the session, res.dat through the resource store), and tells its screen what to show through
// its signals, in the order the user sees them. It holds no widget: the login window renders what it reports.
//
// One request at a time: the reply tracked last is the only one read, an older one is dropped unread.
class SignInChain : public QObject {
    Q_OBJECT

public:
    struct Credentials {
        QString user;
        QString password;
    };
    // Asked each time a request is built: the user name and password as typed, and the proxy mode
    // (HttpsTransport::postRequest) as it is set at that moment.
    using CredentialSource = std::function<Credentials()>;
    using ProxyModeSource = std::function<int()>;

    // How a new status text takes the line's place.
    enum class LineChange {
        // It scrolls from its first character.
        Scroll,
        // It enters from the right, behind one blank fewer than it has characters, and scrolls.
        Padded,
        // It replaces the text only; the line goes on scrolling or standing as it did.
        Replace,
    };
    Q_ENUM(LineChange)

    SignInChain(CredentialSource credentials, ProxyModeSource proxyMode, QObject* parent = nullptr);

    // True when user name and password each have 6 to 100 characters, blanks included.
    static bool acceptsCredentials(const Credentials& credentials);

    // Whether a request of the chain is on its way.
    bool inFlight() const;

    // Starts a sign-in: the fields are disabled while the input is checked, then the status request goes out. Does
    // nothing while a request is on its way.
    void start();

    // The requests. Each is posted with the proxy mode of the moment and its reply becomes the current one.
    void sendStatusRequest();
    void sendRegRequest();
    // The authentication request to url, with the blanks of user name and password removed: the session is opened
    // without them, while the status and registration requests carry them as typed.
    void sendAuthRequest(const QString& url);
    void sendSyncRequest();

    // The replies: what each one makes the screen show, and the next request when there is one.
    void readStatusReply(const ReplyResult& reply);
    void readRegReply(const ReplyResult& reply);
    void readAuthReply(const ReplyResult& reply);
    void readSyncReply(const ReplyResult& reply);

signals:
    void statusChanged(const QString& text, SignInChain::LineChange change);
    // The status line stands still.
    void statusHeld();
    // A box with this text; kind is a CoreServices::MessageKind.
    void boxRequested(const QString& text, int kind);
    // The platform cannot speak TLS at all: the box that offers its missing component, instead of "unreachable".
    void tlsComponentMissing();
    void fieldsDisabled();
    // User name and password emptied.
    void fieldsCleared();
    void passwordCleared();
    // User name, password and Login usable again; Login only once nothing is awaited.
    void fieldsEnabled();
    void loginButtonEnabled(bool enabled);
    void userNameFocusRequested();
    // The session is open, the resources are in place and login.dat has been written (or the user has been told
    // that it could not be): the token screen takes over.
    void signedIn();

private:
    using ReplyReader = void (SignInChain::*)(const ReplyResult&);
    // Posts one request and makes its reply the current one; a request with a first status text shows it while it
    // is posted, then "Sending Request" (the sync request sets its own line).
    void sendRequest(const QString& url, const QByteArray& body, const QString& firstStatus, ReplyReader reader);
    // What a status or registration reply with row's code does.
    void react(const ReplyReaction& row, const LoginReaction& reaction);
    // A request that failed or whose reply could not be read: said in a box, the line replaced when line is not
    // empty, and the fields kept for another try.
    void fail(const QString& boxText, const QString& line);
    void handOver();

    CredentialSource credentials_;
    ProxyModeSource proxyMode_;
    ReplyTracker* currentReply_;
    RegTransaction regTransaction_;
};
