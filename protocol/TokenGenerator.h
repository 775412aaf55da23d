#pragma once

#include <QByteArray>
#include <QString>

// The two token keys that are no key: the server sends them in place of a resource's key when its token has expired
// or the device registration has, and each has the text that is shown instead of a code.
namespace TokenKey {
inline constexpr char kExpiredToken[] = "-1";
inline constexpr char kExpiredRegistration[] = "-2";
inline constexpr char kTokenExpiredText[] = "Token Expired......Token Expired... ";
inline constexpr char kRegistrationExpiredText[] = "Registration Expired....";
} // namespace TokenKey

// The six-digit one-time code of a token key at the current second, computed the same way as the server does:
// SHA-256 over key, time, key, time and a line feed, SHA-256 again over that digest's hex text, then six mapped
// hex digits from a fixed place.
class TokenGenerator {
public:
    explicit TokenGenerator(const QString& tokenKey) : tokenKey_(tokenKey) {}

    // The code for the second that Clock::current() reports now.
    QString generate() const;
    // The code for a given second since 1970-01-01 00:00:00 UTC.
    QString generateAt(qint64 secondsSinceEpoch) const;

    // The six code digits from the 64 hex characters of the second digest: H[40..45], each mapped to a digit.
    static QString codeFromHex(const QByteArray& hex);

private:
    QString tokenKey_;
};
