#include "protocol/TokenGenerator.h"

#include "core/Clock.h"

#include <QCryptographicHash>

namespace {
// Positions 45..50 of the work buffer of 8 space-separated groups of 8 digits, that is H[40..45].
constexpr int kFirstCodeDigit = 40;
constexpr int kCodeLength = 6;

char mapHexDigit(char c)
{
    switch (c) {
    case 'a':
        return '1';
    case 'b':
        return '6';
    case 'c':
        return '3';
    case 'd':
        return '4';
    case 'e':
        return '2';
    case 'f':
        return '5';
    default:
        return (c >= '0' && c <= '9') ? c : ' ';
    }
}
} // namespace

QString TokenGenerator::generate() const
{
    return generateAt(Clock::current().secondsSinceEpoch());
}

QString TokenGenerator::generateAt(qint64 secondsSinceEpoch) const
{
    const QString time = QString::number(secondsSinceEpoch);
    const QString text = tokenKey_ + time + tokenKey_ + time + QLatin1Char('\n');
    // The server hashes as many bytes of the UTF-8 text as the text has characters; for a key with non-ASCII
    // characters that cuts the tail, and the codes only match if we cut it the same way.
    const QByteArray hashed = text.toUtf8().left(text.size());
    const QByteArray first = QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex();
    return codeFromHex(QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex());
}

QString TokenGenerator::codeFromHex(const QByteArray& hex)
{
    QString code;
    for (int i = kFirstCodeDigit; i < kFirstCodeDigit + kCodeLength; ++i) {
        code += QLatin1Char(i < hex.size() ? mapHexDigit(hex.at(i)) : ' ');
    }
    return code;
}
