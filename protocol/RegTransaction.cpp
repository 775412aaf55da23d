#include "protocol/RegTransaction.h"

#include "app/SharedText.h"
#include "protocol/PlainText.h"

#include <QRandomGenerator>
#include <QStringList>

namespace {
constexpr int kKeyLength = 32;
constexpr int kNonceLength = 8;

// TODO(merge): replace with RandomText::randomLetters. Upper-case letters from the system's cryptographic generator:
// a clock-seeded key would let anyone who knows the time read the password.
QString randomLettersForNow(int length)
{
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i) {
        text.append(QLatin1Char(char('A' + QRandomGenerator::system()->bounded(26))));
    }
    return text;
}
} // namespace

RegTransaction::RegTransaction() : regKey_(randomLettersForNow(kKeyLength)) {}

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
    const QString nonce = randomLettersForNow(kNonceLength);
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
