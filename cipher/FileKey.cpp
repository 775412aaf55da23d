#include "cipher/FileKey.h"

#include <QCryptographicHash>

QString fileKeyFor(const QString& deviceIdentity)
{
    return QString::fromLatin1(QCryptographicHash::hash(deviceIdentity.toUtf8(), QCryptographicHash::Md5).toHex());
}
