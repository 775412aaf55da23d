#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The session kept in login.dat so that the next start can skip the login window. Plaintext, before the file
// key's AES: the marker, then 0xB7 before each of the four fields, a final 0xB7, then the cipher's zero padding.
// Fields are ISO 8859-1, neither quoted nor escaped, so a password holding U+00B7 comes back cut at that character.
struct StoredLogin {
    QString loginUser;
    QString loginPassword;
    QString sessionId;
    QString sessionKey;

    // Separator after the marker and after every field.
    static constexpr char kSeparator = '\xB7';

    QByteArray toPlaintext() const;
    // The record of a deciphered file. nullopt when the marker is missing or fewer than four fields follow it:
    // saveLogin never writes such a file, so it counts as damaged.
    static std::optional<StoredLogin> fromPlaintext(const QByteArray& deciphered);

    // Enciphers the record with the file key and replaces the file atomically. False when it was not written; the
    // user is then told (StoredFile::replaceOrTell), as the session lasts only until the program ends.
    static bool save(const QString& path, const StoredLogin& login);

    enum class LoadResult { Missing, Corrupted, Loaded };
    // Reads the file. A missing, unreadable or empty file is Missing and left alone; a file that does not decipher
    // to a record, or is larger than any login the program writes, is deleted and Corrupted; otherwise *login is
    // replaced and the result is Loaded.
    static LoadResult load(const QString& path, StoredLogin* login);

    // Whether both stored files exist and can be read and login.dat deciphers to the marker. When it does not (or
    // is oversized), both files are deleted: they belong to another computer or account, or are damaged.
    static bool hasStoredLogin(const QString& loginPath, const QString& resourcePath);

    enum class Presence {
        // A file is missing or cannot be read, or there is no key: nothing to go on, nothing known to be damaged.
        Missing,
        // login.dat does not decipher to the marker with the key (or is empty, or oversized).
        Undecipherable,
        Present,
    };
    // What hasStoredLogin decides, without deleting anything. The key is asked for only once there are bytes to
    // decipher; an empty key counts as no key.
    static Presence examine(const QString& loginPath, const QString& resourcePath,
                            const std::function<QString()>& fileKey);
};

bool operator==(const StoredLogin& a, const StoredLogin& b);
