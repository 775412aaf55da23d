#pragma once

#include <QByteArray>
#include <QString>

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
