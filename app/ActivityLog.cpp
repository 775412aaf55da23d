#include "app/ActivityLog.h"

#include "app/Clock.h"

ActivityLog::ActivityLog(const QString& path) : file_(path) {}

void ActivityLog::write(const QString& text)
{
    if (file_.isOpen()) {
        file_.close();
    }
    if (!file_.open(QIODevice::Append)) {
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
    file_.write(entry);
    file_.flush();
    file_.close();
}
