#include "storage/StoredLogin.h"

#include "protocol/AesCipher.h"
#include "protocol/PlainText.h"
#include "storage/StoredFile.h"

#include <QFile>

QByteArray StoredLogin::toPlaintext() const
{
    QByteArray plaintext(StoredFile::kMarker, StoredFile::kMarkerSize);
    for (const QString* field : {&loginUser, &loginPassword, &sessionId, &sessionKey}) {
        plaintext.append(kSeparator);
        plaintext.append(PlainText::latin1(*field));
    }
    plaintext.append(kSeparator);
    return plaintext;
}

std::optional<StoredLogin> StoredLogin::fromPlaintext(const QByteArray& deciphered)
{
    if (!StoredFile::startsWithMarker(deciphered)) {
        return std::nullopt;
    }
    const QList<QByteArray> parts = deciphered.mid(StoredFile::kHeaderSize).split(kSeparator);
    if (parts.size() < 4) {
        return std::nullopt;
    }
    return StoredLogin{PlainText::readText(parts.at(0)), PlainText::readText(parts.at(1)),
                       PlainText::readText(parts.at(2)), PlainText::readText(parts.at(3))};
}

void StoredLogin::save(const QString& path, const StoredLogin& login)
{
    const QString key = StoredFile::fileKey();
    if (key.isEmpty()) {
        return;
    }
    StoredFile::replace(path, AesCipher().encrypt(key, login.toPlaintext()));
}

StoredLogin::LoadResult StoredLogin::load(const QString& path, StoredLogin* login)
{
    // The key (and with it the device identity) is asked for only once there are bytes to decipher.
    const std::optional<QByteArray> content = StoredFile::readAll(path);
    if (!content || content->isEmpty()) {
        return LoadResult::Missing;
    }
    const QString key = StoredFile::fileKey();
    if (key.isEmpty()) {
        return LoadResult::Missing;
    }
    const std::optional<StoredLogin> record = fromPlaintext(AesCipher().decrypt(key, *content));
    if (!record) {
        QFile::remove(path);
        return LoadResult::Corrupted;
    }
    *login = *record;
    return LoadResult::Loaded;
}

bool StoredLogin::hasStoredLogin(const QString& loginPath, const QString& resourcePath)
{
    if (!QFile::exists(resourcePath) || !QFile::exists(loginPath)) {
        return false;
    }
    const std::optional<QByteArray> content = StoredFile::readAll(loginPath);
    // A file we may not read is not known to be damaged; keep it.
    if (!content) {
        return false;
    }
    // An empty login.dat deciphers to nothing and so lacks the marker; no key is needed to know that.
    if (!content->isEmpty()) {
        const QString key = StoredFile::fileKey();
        if (key.isEmpty()) {
            return false;
        }
        if (StoredFile::startsWithMarker(AesCipher().decrypt(key, *content))) {
            return true;
        }
    }
    QFile::remove(loginPath);
    QFile::remove(resourcePath);
    return false;
}

bool operator==(const StoredLogin& a, const StoredLogin& b)
{
    return a.loginUser == b.loginUser && a.loginPassword == b.loginPassword && a.sessionId == b.sessionId &&
           a.sessionKey == b.sessionKey;
}
