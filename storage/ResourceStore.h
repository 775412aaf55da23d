#pragma once

#include "storage/ResourceRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// res.dat: the resources and token keys of the last synchronisation, kept across restarts. Plaintext, before the
// file key's AES: the marker, the byte 0xAB, then the record block. The record block is also the payload of a
// synchronisation reply, so its parser serves both.
//
// Record block: records one after another, each four fields separated by 0xB7 and ended by 0xBB, in the order
// resourceName, userName, tokenKey, groupName; every field ISO 8859-1, neither quoted nor escaped.
class ResourceStore {
public:
    static constexpr char kFieldSeparator = '\xB7';
    static constexpr char kRecordEnd = '\xBB';

    // The path is fixed here, from the home directory at this moment.
    ResourceStore();

    // The stored list; empty when the file is missing or unusable. A file that does not decipher to the marker
    // (written under another file key, or damaged), whose record block does not end as save() ends it (cut short),
    // or that is larger than StoredFile::kMaxSize is deleted.
    QList<ResourceRecord> load() const;
    struct Reading {
        enum Status {
            // Missing or cannot be opened, or there is no key: kept, as nothing is known to be wrong with it.
            Unavailable,
            // Does not decipher to the marker, is cut short, or is oversized: what load() deletes.
            Corrupted,
            Read,
        };
        Status status = Unavailable;
        QList<ResourceRecord> records;
    };
    // What load() finds in the file at `path`, without deleting anything. The key is asked for only once there are
    // bytes to decipher; an empty key counts as no key.
    static Reading read(const QString& path, const std::function<QString()>& fileKey);

    // Replaces the file atomically with the list. False when it was not written: the previous file is then
    // unchanged and the user is told (StoredFile::replaceOrTell).
    bool save(const QList<ResourceRecord>& list) const;

    // Records in block order; a piece that does not hold exactly four fields is skipped. A field ends at its first
    // 0x00 byte.
    static QList<ResourceRecord> parseRecords(const QByteArray& block);
    // Fields are written ISO 8859-1 (characters outside it become "?"), the encoding they are read back in and
    // the server sends them in, so a restart restores exactly what the last synchronisation delivered.
    static QByteArray serializeRecords(const QList<ResourceRecord>& list);

    const QString& path() const { return path_; }

private:
    // Whether a deciphered file (header included, at least the marker long) ends, before its zero padding, with a
    // whole record or holds no record at all.
    static bool endsAsWritten(const QByteArray& plaintext);

    QString path_;
};

// The process-wide store, set once at start-up.
ResourceStore* resourceStore();
void setResourceStore(ResourceStore* store);

// The process-wide list of resources: filled from the store at start-up, replaced as a whole by every successful
// synchronisation, read by the token screen.
QList<ResourceRecord>& resourceList();
