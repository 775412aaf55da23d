#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What login.dat and res.dat have in common: both are AES ciphertext under the file key, both begin, once
// deciphered, with the same marker, and both are replaced as a whole.
namespace StoredFile {

// A deciphered stored file that does not begin with this was written under another file key (other computer,
// other account) or is damaged.
inline constexpr char kMarker[] = "A3CAD326469EFFACADBCADCCAD";
inline constexpr int kMarkerSize = 26;
// The marker and the separator byte that follows it.
inline constexpr int kHeaderSize = kMarkerSize + 1;

// The file key of this computer and account, or an empty text when no core services are installed (then nothing
// is read, written or deleted).
QString fileKey();

// The whole content of a file; nullopt when it is missing or cannot be opened.
std::optional<QByteArray> readAll(const QString& path);

// Replaces the file atomically and private to the account (PrivateFile::replace): a crash or a full disk leaves either
// the old or the new content, never a cut one.
bool replace(const QString& path, const QByteArray& content);

bool startsWithMarker(const QByteArray& deciphered);

} // namespace StoredFile
