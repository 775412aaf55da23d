#include "core/ActivityLog.h"

#include "core/Clock.h"
#include "core/DataPaths.h"
#include "core/platform/Platform.h"

#include <QDateTime>

ActivityLog::ActivityLog(const QString& path) : path_(path) {}

void ActivityLog::write(const QString& text)
{
    if (isDataDirectoryRefused()) {
        return;
    }
    const QDateTime stamp = Clock::current().now();
    QByteArray entry("\n");
    entry += stamp.date().toString(QStringLiteral("MM/dd/yyyy")).toLatin1();
    entry += " <-> ";
    entry += stamp.time().toString(QStringLiteral("HH:mm:ss")).toLatin1();
    entry += " <-> ";
    // The local 8-bit encoding, as a text stream with the default codec would write it.
    entry += text.toLocal8Bit();
    entry += "\r\n";
    // Opened for each entry and closed again, so that other programs may read or move the file between entries.
    Platform::appendToPrivateFile(path_, entry);
}
