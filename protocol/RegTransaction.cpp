#include "protocol/RegTransaction.h"

#include "cipher/PlainText.h"
#include "cipher/RandomText.h"
#include "core/SharedText.h"

#include <QStringList>

namespace {
constexpr int kKeyLength = 32;
constexpr int kNonceLength = 8;
} // namespace

RegTransaction::RegTransaction() : regKey_(RandomText::randomLetters(kKeyLength)) {}

RegTransaction::RegTransaction(const QString& key) : regKey_(key) {}

QByteArray RegTransaction::buildStatusRequest(const QString& user, const QString& password,
                                              const QString& deviceIdentity) const
{
    return buildRequest(QByteArrayLiteral("1"), user, password, deviceIdentity);
}

QByteArray RegTransaction::buildRegRequest(const QString& user, const QString& password,
                                           const QString& deviceIdentity) const
{
    return buildRequest(QByteArrayLiteral("2"), user, password, deviceIdentity);
}

QString RegTransaction::decodeStatusReply(const QByteArray& body) const
{
    return decodeReply(body);
}

QString RegTransaction::decodeRegReply(const QByteArray& body) const
{
    return decodeReply(body);
}

QByteArray RegTransaction::buildRequest(const QByteArray& code, const QString& user, const QString& password,
                                        const QString& deviceIdentity) const
{
    // Unlike the nonces of authentication and sync, this one is upper-case letters only.
    const QString nonce = RandomText::randomLetters(kNonceLength);
    const QByteArray plaintext =
        PlainText::buildRequest(code, {user, password, deviceIdentity, nonce, SharedText::get().appNameVersion});
    return regKey_.toLatin1() + cipher_.encrypt(regKey_, plaintext);
}

QString RegTransaction::decodeReply(const QByteArray& body) const
{
    const QString text = PlainText::readText(cipher_.decrypt(regKey_, body));
    const QStringList parts = PlainText::fields(text);
    return parts.isEmpty() ? QString() : parts.first();
}
