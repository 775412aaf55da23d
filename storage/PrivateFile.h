#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The data directory and the files that hold the user's secrets (login.dat, res.dat, Proxy.dat) are private to the
// account: their key derives from data other local users can read, so the file mode is their real protection.
namespace PrivateFile {

// Creates the directory (one level) with mode 0700, or tightens an existing one to 0700. False when it cannot be
// created or its mode cannot be set.
bool makeDirectory(const QString& path);

// Replaces the file atomically with mode 0600, set on the new content before it takes the file's place: a crash or a
// full disk leaves either the old or the new content, never a cut one, and an existing looser file is tightened by
// the write. False when anything failed; the previous file is then unchanged.
bool replace(const QString& path, const QByteArray& content);

// Removes what an interrupted replace() of one of these files left in the directory: the new content is written to
// "<name>.XXXXXX" (six letters or digits) and renamed over the file at the end, so a crash in between leaves that
// copy behind, with everything the file holds. Only to be called while no other instance can be saving.
void removeLeftovers(const QString& directory, const QStringList& fileNames);

} // namespace PrivateFile
