#include "storage/StoredFile.h"

#include "core/CoreServices.h"
#include "core/DataPaths.h"
#include "storage/PrivateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace StoredFile {

namespace {
// Stored files whose last write failed.
QSet<QString>& unsavedFiles()
{
    static QSet<QString> files;
    return files;
}
} // namespace

QString fileKey()
{
    return coreServices() ? coreServices()->fileKey() : QString();
}

Content read(const QString& path)
{
    if (isDataDirectoryRefused()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    if (file.size() > kMaxSize) {
        return {Content::Oversized, {}};
    }
    // A file that grows while it is read is held to the same bound.
    QByteArray bytes = file.read(kMaxSize + 1);
    if (bytes.size() > kMaxSize) {
        return {Content::Oversized, {}};
    }
    return {Content::Read, bytes};
}

bool isReadable(const QString& path)
{
    if (isDataDirectoryRefused()) {
        return false;
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

bool replace(const QString& path, const QByteArray& content)
{
    return !isDataDirectoryRefused() && PrivateFile::replace(path, content);
}

bool replaceOrTell(const QString& path, const QByteArray& content, const QString& failureText)
{
    if (replace(path, content)) {
        unsavedFiles().remove(path);
        return true;
    }
    const QString name = QFileInfo(path).fileName();
    // A refused data directory was told about at start-up, with what it means for every file.
    const bool told = unsavedFiles().contains(path) || isDataDirectoryRefused();
    unsavedFiles().insert(path);
    logActivity(name + QStringLiteral(" could not be written"));
    if (!told) {
        showCoreMessage(failureText, CoreServices::Critical);
    }
    return false;
}

bool isUnsaved(const QString& path)
{
    return unsavedFiles().contains(path);
}

bool startsWithMarker(const QByteArray& deciphered)
{
    return deciphered.startsWith(QByteArrayView(kMarker, kMarkerSize));
}

} // namespace StoredFile
