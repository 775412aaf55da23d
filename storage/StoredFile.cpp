#include "storage/StoredFile.h"

#include "app/CoreServices.h"
#include "storage/PrivateFile.h"

#include <QFile>

namespace StoredFile {

QString fileKey()
{
    return coreServices() ? coreServices()->fileKey() : QString();
}

std::optional<QByteArray> readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

bool replace(const QString& path, const QByteArray& content)
{
    return PrivateFile::replace(path, content);
}

bool startsWithMarker(const QByteArray& deciphered)
{
    return deciphered.startsWith(QByteArrayView(kMarker, kMarkerSize));
}

} // namespace StoredFile
