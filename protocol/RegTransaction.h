#pragma once

#include "cipher/AesCipher.h"

#include <QByteArray>
#include <QString>

// Builds and reads the status (request code "1") and registration (request code "2") messages. Each screen that
// sends them embeds one; its key, made once, is the clear prefix and the cipher key of every request it builds and
// of the replies to them, so a screen only ever reads replies to its own requests.
class RegTransaction {
public:
    RegTransaction();
    // A fixed key (32 characters "A".."Z"), for tests and the fuzzer.
    explicit RegTransaction(const QString& key);

    const QString& regKey() const { return regKey_; }

    // Bodies for the status and the registration servlet: the key in clear, then the enciphered plaintext
    // code, user, password, device identity, nonce, program name and version. User name and password go as typed.
    QByteArray buildStatusRequest(const QString& user, const QString& password, const QString& deviceIdentity) const;
    QByteArray buildRegRequest(const QString& user, const QString& password, const QString& deviceIdentity) const;

    // Field 0 of the deciphered reply as text: the whole text when it has no separator, empty for an empty body.
    // Every body is deciphered; these replies have no clear-text refusal.
    QString decodeStatusReply(const QByteArray& body) const;
    QString decodeRegReply(const QByteArray& body) const;

private:
    QByteArray buildRequest(const QByteArray& code, const QString& user, const QString& password,
                            const QString& deviceIdentity) const;
    QString decodeReply(const QByteArray& body) const;

    QString regKey_;
    AesCipher cipher_;
};
