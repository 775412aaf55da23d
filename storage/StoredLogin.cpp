#include "storage/StoredLogin.h"

#include "cipher/AesCipher.h"
#include "cipher/PlainText.h"
#include "core/SharedText.h"
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

bool StoredLogin::save(const QString& path, const StoredLogin& login)
{
    const QString key = StoredFile::fileKey();
    if (key.isEmpty()) {
        return false;
    }
    return StoredFile::replaceOrTell(path, AesCipher().encrypt(key, login.toPlaintext()),
                                     SharedText::get().msgLoginNotSaved);
}

StoredLogin::LoadResult StoredLogin::load(const QString& path, StoredLogin* login)
{
    // The key (and with it the device identity) is asked for only once there are bytes to decipher.
    const StoredFile::Content content = StoredFile::read(path);
    if (content.status == StoredFile::Content::Oversized) {
        QFile::remove(path);
        return LoadResult::Corrupted;
    }
    if (content.status == StoredFile::Content::Unavailable || content.bytes.isEmpty()) {
        return LoadResult::Missing;
    }
    const QString key = StoredFile::fileKey();
    if (key.isEmpty()) {
        return LoadResult::Missing;
    }
    const std::optional<StoredLogin> record = fromPlaintext(AesCipher().decrypt(key, content.bytes));
    if (!record) {
        QFile::remove(path);
        return LoadResult::Corrupted;
    }
    *login = *record;
    return LoadResult::Loaded;
}

bool StoredLogin::hasStoredLogin(const QString& loginPath, const QString& resourcePath)
{
    const Presence presence = examine(loginPath, resourcePath, &StoredFile::fileKey);
    if (presence == Presence::Undecipherable) {
        QFile::remove(loginPath);
        QFile::remove(resourcePath);
    }
    return presence == Presence::Present;
}

StoredLogin::Presence StoredLogin::examine(const QString& loginPath, const QString& resourcePath,
                                           const std::function<QString()>& fileKey)
{
    // A res.dat that cannot be opened (a folder in its place, another account's file) was never written by us and
    // will not be read: no stored login, and nothing called corrupted.
    if (!StoredFile::isReadable(resourcePath) || !QFile::exists(loginPath)) {
        return Presence::Missing;
    }
    const StoredFile::Content content = StoredFile::read(loginPath);
    // A file we may not read is not known to be damaged; keep it.
    if (content.status == StoredFile::Content::Unavailable) {
        return Presence::Missing;
    }
    // An empty login.dat deciphers to nothing and so lacks the marker; no key is needed to know that, nor for an
    // oversized one, which is never read.
    if (content.status == StoredFile::Content::Read && !content.bytes.isEmpty()) {
        const QString key = fileKey();
        if (key.isEmpty()) {
            return Presence::Missing;
        }
        if (StoredFile::startsWithMarker(AesCipher().decrypt(key, content.bytes))) {
            return Presence::Present;
        }
    }
    return Presence::Undecipherable;
}

bool operator==(const StoredLogin& a, const StoredLogin& b)
{
    return a.loginUser == b.loginUser && a.loginPassword == b.loginPassword && a.sessionId == b.sessionId &&
           a.sessionKey == b.sessionKey;
}
