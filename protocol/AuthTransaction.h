#pragma once

#include "cipher/AesCipher.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QNetworkReply;

// What a synchronisation reply says, read without any effect: its outcome, its result code and fields when it
// deciphered to fields, and the records it brings.
struct SyncReply {
    enum class Outcome {
        // An empty body or "-2" in clear: the server could not serve the request.
        Unprocessable,
        // The body deciphers to no fields.
        Undecipherable,
        // Code 0: the server asks for the credentials again.
        EnterCredentials,
        // Code 1.
        SessionExpired,
        // Code 2: the device is registered to another user.
        DeviceOtherUser,
        // Code 10 with records: they replace the resource list.
        Resources,
        // Code 10 without records: the user has no token; the stored list goes and the user signs in again.
        NoResources,
        // Any other code: nothing follows.
        Ignored,
    };
    Outcome outcome = Outcome::Unprocessable;
    // The result code (field 0) of a reply that deciphered to fields; -1 otherwise.
    int code = -1;
    QStringList fields;
    // The records' bytes (Resources): taken from the bytes, not the text, since a field with a 0x00 inside ends at it.
    QByteArray payload;
};

// The one session of the process: who is logged in, the session identifier the server gave, and the key that
// enciphers authentication and synchronisation bodies. The four texts are exactly what login.dat keeps, and they
// are public data because the screens read and reset them directly.
class AuthTransaction {
public:
    // Starts with four empty texts, then loads the stored login, if any.
    AuthTransaction();

    // Replaces login.dat with the four texts (atomically; a failure is told to the user, see StoredLogin::save).
    // False when the file was not written.
    bool saveLogin();
    // Replaces the four texts with the stored login; false, texts unchanged, when there is no valid one. A file
    // that does not decipher to a record is deleted.
    bool loadLogin();
    // Empties the four texts; login.dat is left as it is until the next saveLogin.
    void clearLogin();

    // Sends one request body to a servlet; see HttpsTransport::postRequest.
    QNetworkReply* postRequest(const QString& url, const QByteArray& body, int proxyMode) const;

    // Authentication request (code "3"): makes a new session key and takes the user name and password as the
    // session's. The body is the session key in clear followed by the enciphered fields.
    QByteArray buildAuthRequest(const QString& user, const QString& password, const QString& deviceIdentity);
    // What an authentication reply said: the session opened (code 10, then saved in login.dat), a refusal (any
    // other code, or "-1" in clear), or nothing readable (an empty body, one that deciphers to no fields or to no
    // code). Any reply with fields replaces sessionId.
    enum class AuthOutcome { Opened, Refused, Unreadable };
    AuthOutcome decodeAuth(const QByteArray& body);
    // True when the session opened.
    bool decodeAuthReply(const QByteArray& body) { return decodeAuth(body) == AuthOutcome::Opened; }

    // Synchronisation request (code "4"): the session identifier in clear followed by the fields enciphered with
    // the session key.
    QByteArray buildSyncRequest(const QString& deviceIdentity) const;
    // Reads a synchronisation reply with this session's key; no log line, box or file.
    SyncReply readSyncReply(const QByteArray& body) const;
    // Acts on a read reply: its log lines, its box for a refusal, and the records installed (or the stored list
    // removed when there are none). True when new resource records were installed.
    bool applySyncReply(const SyncReply& reply);
    // Both steps. True when new resource records were installed. Tells the user about refusals through message boxes.
    bool decodeSyncReply(const QByteArray& body) { return applySyncReply(readSyncReply(body)); }
    // Replaces the process-wide resource list with the records of a payload and saves it in res.dat.
    void installResources(const QByteArray& payload);

    // Full path of login.dat, fixed at construction.
    const QString& loginFilePath() const { return loginFilePath_; }

    QString loginUser;
    QString loginPassword;
    QString sessionId;
    // 32 letters "A".."Z" made by the last authentication request.
    QString sessionKey;
    // Stateless; enciphers the request bodies and deciphers the replies of this session.
    AesCipher cipher;

private:
    QString loginFilePath_;
};

// The process-wide session, set once at start-up.
AuthTransaction* authTransaction();
void setAuthTransaction(AuthTransaction* transaction);
