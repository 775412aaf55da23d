#pragma once

#include "protocol/RegTransaction.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class ReplyTracker;
struct ReplyResult;

// The token screen's Sync, without the screen: the registration status request, then (when the status allows) the
// synchronisation request that replaces the resource list, and the check of the server's clock against ours. It
// sends the requests, reads the replies through the reply-code table, stores or forgets what the replies say, and
// writes the activity log. What the user is to see it reports through signals, in the order of its effects, for
// the screen to show: a box, the status line, the login window, the list. One request is in flight at a time.
class SyncChain : public QObject {
    Q_OBJECT

public:
    // What the chain asks of the program at the moment of a request.
    struct Settings {
        // The proxy mode of the requests (see HttpsTransport::postRequest).
        std::function<int()> proxyMode;
        // Whether login.dat and res.dat hold a valid sign-in.
        std::function<bool()> hasStoredLogin;
    };

    explicit SyncChain(Settings settings, QObject* parent = nullptr);
    ~SyncChain() override;

    // A request of the chain is in flight.
    bool busy() const;
    // Gives up the request in flight: it is aborted, and nothing of its reply follows.
    void cancel();

    // The check before a request: a valid stored login, or a session whose files could not be written and so goes
    // on in memory (a missing or older file is then no damage; the user was told when the save failed).
    bool hasSession() const;
    // The start of a sync. Without a session: the box saying the data is damaged, the login window, and false.
    // Otherwise the session is read back from login.dat (unless the session in memory is newer than a login.dat
    // that could not be written) and true: the status request may go.
    bool start();

    // The registration status request with the session's user and password and this computer's identity.
    void sendStatusRequest();
    // The synchronisation request; without a session, as start() does.
    void sendSyncRequest();
    // The reply handlers of the two requests.
    void readStatusReply(const ReplyResult& reply);
    void readSyncReply(const ReplyResult& reply);
    // Compares the Date header with the local clock, to the whole second, and warns beyond two minutes either way.
    void checkServerTime(const QByteArray& dateHeader);
    // After code 6 or 11: the session is emptied in login.dat and res.dat goes, so the next start asks to log in.
    void forgetStoredLogin();

signals:
    // A box with this text, of this kind (CoreServices::MessageKind), for the program as a whole.
    void message(const QString& text, int kind);
    // The status request failed or its reply held no readable code: a critical box with this text over the screen
    // that asked, and back to the code.
    void statusRequestFailed(const QString& text);
    // The status line's next text.
    void statusLineChanged(const QString& text);
    // The session cannot be used: the login window follows. When the stored sign-in is of no more use either, the
    // chain forgets it right after.
    void loginNeeded();
    // The synchronisation request is about to go: the status line takes the code's place.
    void syncRequestStarting();
    // The synchronisation reply came (or its request failed).
    void syncReplyArrived();
    // The synchronisation request failed with this error text.
    void syncFailed(const QString& errorText);
    // The synchronisation reply brought no records (its box, if any, has been shown): back to the code.
    void syncRefused();
    // New records came; the chain stores the session and checks the clock next.
    void syncStoring();
    // The list is replaced and stored.
    void synced();
    // Nothing is in flight any more: a new sync may start.
    void finished();

private:
    void refuseWithoutSession();
    void logProxyMode();

    Settings settings_;
    RegTransaction regTransaction_;
    ReplyTracker* replies_ = nullptr;
};
