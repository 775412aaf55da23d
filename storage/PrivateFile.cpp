#include "storage/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace PrivateFile {

namespace {
constexpr QFile::Permissions kOwnerOnlyDirectory = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kOwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
} // namespace

bool makeDirectory(const QString& path)
{
    if (!QFileInfo(path).isDir() && !QDir().mkdir(path, kOwnerOnlyDirectory)) {
        return false;
    }
    return QFile::setPermissions(path, kOwnerOnlyDirectory);
}

bool replace(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    // Unbuffered, so that a short write (disk full, file size limit) shows in write()'s count: Qt 6.4 commits a
    // buffered QSaveFile whose flush came up short as if it had succeeded.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    // The new content takes the place of the old file with its own mode, not the old file's nor the umask's.
    if (!file.setPermissions(kOwnerOnlyFile) || file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void removeLeftovers(const QString& directory, const QStringList& fileNames)
{
    QStringList escaped;
    for (const QString& name : fileNames) {
        escaped.append(QRegularExpression::escape(name));
    }
    const QRegularExpression leftover(QStringLiteral("^(?:%1)\\.[A-Za-z0-9]{6}$").arg(escaped.join(QLatin1Char('|'))));
    QDir dir(directory);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (leftover.match(entry).hasMatch()) {
            dir.remove(entry);
        }
    }
}

} // namespace PrivateFile
