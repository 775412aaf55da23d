#include "storage/StoredFile.h"

#include "app/CoreServices.h"

#include <QFile>
#include <QSaveFile>

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
    QSaveFile file(path);
    // Unbuffered, so that a short write (disk full, file size limit) shows in write()'s count: Qt 6.4 commits a
    // buffered QSaveFile whose flush came up short as if it had succeeded.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool startsWithMarker(const QByteArray& deciphered)
{
    return deciphered.startsWith(QByteArrayView(kMarker, kMarkerSize));
}

} // namespace StoredFile
