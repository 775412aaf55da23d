#pragma once

#include <QString>

// The activity log: plain text, appended to and never read, truncated or rotated by the program.
// Each entry is a line feed, "MM/dd/yyyy <-> HH:mm:ss <-> ", the text, then CR LF; the file is closed between
// entries so that other programs may read or move it.
class ActivityLog {
public:
    explicit ActivityLog(const QString& path);

    // Appends one entry; a file that cannot be opened loses the entry silently. The file is private to the account
    // (0600) and never reached through a link; nothing is written while the data directory is refused.
    void write(const QString& text);

    QString path() const { return path_; }

private:
    QString path_;
};
