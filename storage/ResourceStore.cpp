#include "storage/ResourceStore.h"

#include "cipher/AesCipher.h"
#include "cipher/PlainText.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "storage/StoredFile.h"

#include <QFile>

namespace {
ResourceStore* instance = nullptr;

// The byte between the marker and the record block.
constexpr char kHeaderSeparator = '\xAB';
} // namespace

ResourceStore* resourceStore()
{
    return instance;
}

void setResourceStore(ResourceStore* store)
{
    instance = store;
}

QList<ResourceRecord>& resourceList()
{
    static QList<ResourceRecord> list;
    return list;
}

ResourceStore::ResourceStore() : path_(homeFilePath(SharedText::get().resFileRel)) {}

QList<ResourceRecord> ResourceStore::load() const
{
    const Reading reading = read(path_, &StoredFile::fileKey);
    if (reading.status == Reading::Corrupted) {
        QFile::remove(path_);
    }
    return reading.records;
}

ResourceStore::Reading ResourceStore::read(const QString& path, const std::function<QString()>& fileKey)
{
    // The key (and with it the device identity) is asked for only once there are bytes to decipher.
    const StoredFile::Content content = StoredFile::read(path);
    if (content.status == StoredFile::Content::Unavailable) {
        return {};
    }
    // An empty file deciphers to nothing, so it lacks the marker like any other damaged one; an oversized one is
    // damaged without being read.
    QByteArray plaintext;
    if (content.status == StoredFile::Content::Read && !content.bytes.isEmpty()) {
        const QString key = fileKey();
        if (key.isEmpty()) {
            return {};
        }
        plaintext = AesCipher().decrypt(key, content.bytes);
    }
    // The cipher works on whole 16-byte blocks, so a file of another length was cut short.
    if (content.bytes.size() % 16 != 0 || !StoredFile::startsWithMarker(plaintext) || !endsAsWritten(plaintext)) {
        return {Reading::Corrupted, {}};
    }
    return {Reading::Read, parseRecords(plaintext.mid(StoredFile::kHeaderSize))};
}

bool ResourceStore::endsAsWritten(const QByteArray& plaintext)
{
    // save() writes the header, whole records each ended by 0xBB, then the cipher's zero padding (no field holds a
    // 0x00). A record block that does not end in 0xBB before that padding was cut (a copy or a disk cut short): its
    // last record, read as it is, would show cut-off names.
    qsizetype end = plaintext.size();
    while (end > StoredFile::kHeaderSize && plaintext.at(end - 1) == '\0') {
        --end;
    }
    return end == StoredFile::kHeaderSize || plaintext.at(end - 1) == kRecordEnd;
}

bool ResourceStore::save(const QList<ResourceRecord>& list) const
{
    const QString key = StoredFile::fileKey();
    if (key.isEmpty()) {
        return false;
    }
    QByteArray plaintext(StoredFile::kMarker, StoredFile::kMarkerSize);
    plaintext.append(kHeaderSeparator);
    plaintext.append(serializeRecords(list));
    return StoredFile::replaceOrTell(path_, AesCipher().encrypt(key, plaintext),
                                     SharedText::get().msgResourcesNotSaved);
}

QList<ResourceRecord> ResourceStore::parseRecords(const QByteArray& block)
{
    QList<ResourceRecord> records;
    for (const QByteArray& piece : block.split(kRecordEnd)) {
        const QList<QByteArray> parts = piece.split(kFieldSeparator);
        if (parts.size() != 4) {
            continue;
        }
        ResourceRecord record;
        record.resourceName = PlainText::readText(parts.at(0));
        record.userName = PlainText::readText(parts.at(1));
        record.tokenKey = PlainText::readText(parts.at(2));
        record.groupName = PlainText::readText(parts.at(3));
        records.append(record);
    }
    return records;
}

QByteArray ResourceStore::serializeRecords(const QList<ResourceRecord>& list)
{
    QByteArray block;
    for (const ResourceRecord& record : list) {
        block.append(PlainText::latin1(record.resourceName));
        block.append(kFieldSeparator);
        block.append(PlainText::latin1(record.userName));
        block.append(kFieldSeparator);
        block.append(PlainText::latin1(record.tokenKey));
        block.append(kFieldSeparator);
        block.append(PlainText::latin1(record.groupName));
        block.append(kRecordEnd);
    }
    return block;
}
