#include "protocol/TokenCode.h"

#include <QCryptographicHash>

namespace {
// Each hex digit of the second digest becomes a decimal digit: 0-9 stay, a..f become 1, 6, 3, 4, 2, 5.
char mappedDigit(char hex)
{
    switch (hex) {
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
        return hex;
    }
}
} // namespace

QString tokenCodeFor(const QString& key, qint64 secondsSinceEpoch)
{
    const QString time = QString::number(secondsSinceEpoch);
    const QString text = key + time + key + time + QLatin1Char('\n');
    // The hashed length is the text's length in characters: the whole UTF-8 encoding for the ASCII keys the server
    // hands out, a cut one for any other key, as the program has always computed it.
    const QByteArray hashed = text.toUtf8().left(text.size());
    const QByteArray first = QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex();
    const QByteArray second = QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex();
    // The code sits at positions 45..50 of the digits written in groups of eight, which are hex digits 40..45.
    QString code;
    for (int i = 40; i < 46; ++i) {
        code.append(QLatin1Char(mappedDigit(second.at(i))));
    }
    return code;
}
