#pragma once

#include <QByteArray>
#include <QString>

// What login.dat and res.dat have in common: both are AES ciphertext under the file key, both begin, once
// deciphered, with the same marker, and both are replaced as a whole.
namespace StoredFile {

// A deciphered stored file that does not begin with this was written under another file key (other computer,
// other account) or is damaged.
inline constexpr char kMarker[] = "A3CAD326469EFFACADBCADCCAD";
inline constexpr int kMarkerSize = 26;
// The marker and the separator byte that follows it.
inline constexpr int kHeaderSize = kMarkerSize + 1;
// The program never writes a stored file this large (a login is a few hundred bytes, a resource list a few
// kilobytes): a bigger one is damaged or planted, and reading it would only cost memory and time.
inline constexpr qint64 kMaxSize = 1024 * 1024;

// The file key of this computer and account, or an empty text when no core services are installed (then nothing
// is read, written or deleted).
QString fileKey();

struct Content {
    enum Status {
        // Missing, or it cannot be opened (a folder, another account's file): not known to be damaged, so kept.
        Unavailable,
        // Larger than kMaxSize: damaged, and never read.
        Oversized,
        Read,
    };
    Status status = Unavailable;
    QByteArray bytes;
};
// The whole content of a file, its size checked before anything is read.
Content read(const QString& path);
// Whether the file exists and can be opened for reading.
bool isReadable(const QString& path);

// Replaces the file atomically and private to the account (PrivateFile::replace): a crash or a full disk leaves either
// the old or the new content, never a cut one. False when it was not written, also when the data directory is
// refused (another account's or a link: nothing is written there).
bool replace(const QString& path, const QByteArray& content);

// replace(), and when that fails a critical box with failureText, so that the user knows the session lives in
// memory only. The box comes once for each file until a write of it succeeds again: a sign-in saves login.dat twice,
// and a full disk is not news the second time.
bool replaceOrTell(const QString& path, const QByteArray& content, const QString& failureText);

// Whether a write of this stored file failed in this run and has not succeeded since: what the session holds in
// memory is then newer than the file, so a missing or older file is no sign of damage.
bool isUnsaved(const QString& path);

bool startsWithMarker(const QByteArray& deciphered);

} // namespace StoredFile
