#include "cipher/PlainText.h"

#include <QVariant>

namespace PlainText {

QByteArray latin1(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar character : text) {
        bytes.append(character.unicode() <= 0xFF ? char(character.unicode()) : '?');
    }
    return bytes;
}

QByteArray buildRequest(const QByteArray& code, const QStringList& fields)
{
    QByteArray plaintext = code;
    for (const QString& field : fields) {
        plaintext.append(kFieldSeparator);
        plaintext.append(latin1(field));
    }
    return plaintext;
}

QByteArray untilNul(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.left(end);
}

QString readText(const QByteArray& deciphered)
{
    return QString::fromLatin1(untilNul(deciphered));
}

QStringList fields(const QString& text)
{
    return text.split(kFieldSeparatorChar, Qt::KeepEmptyParts);
}

int resultCode(const QStringList& fields)
{
    return fields.isEmpty() ? 0 : QVariant(fields.first()).toInt();
}

bool readResultCode(const QString& field, int* code)
{
    bool ok = false;
    *code = QVariant(field).toInt(&ok);
    return ok;
}

} // namespace PlainText
