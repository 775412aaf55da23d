#pragma once

#include <QFile>
#include <QString>

// The activity log: plain text, appended to and never read, truncated or rotated by the program.
// Each entry is a line feed, "MM/dd/yyyy <-> HH:mm:ss <-> ", the text, then CR LF; the file is closed between
// entries so that other programs may read or move it.
class ActivityLog {
public:
    explicit ActivityLog(const QString& path);

    // Appends one entry; a file that cannot be opened loses the entry silently.
    void write(const QString& text);

    QString path() const { return file_.fileName(); }

private:
    QFile file_;
};
