#include "storage/CodedField.h"

#include "cipher/PlainText.h"

#include <QByteArray>

namespace CodedField {

QString toBase64Text(const QString& value)
{
    return QString::fromLatin1(PlainText::latin1(value).toBase64());
}

QString fromBase64Text(const QString& text)
{
    return QString::fromLatin1(PlainText::untilNul(QByteArray::fromBase64(PlainText::latin1(text))));
}

} // namespace CodedField
