#pragma once

#include <QByteArray>
#include <QString>

// AES-256 in ECB mode with zero padding, keyed by a 32-character text whose ASCII bytes are the key. It wraps every
// request and reply body and both stored files; there is no IV, no length prefix and no integrity check.
class AesCipher {
public:
    // Enciphers whole 16-byte blocks; a short last block is filled with 0x00 bytes. Empty in, empty out.
    QByteArray encrypt(const QString& key, const QByteArray& data) const;
    // Deciphers every whole block; the zero padding stays in the output. A trailing partial block (never written
    // by this system) is dropped.
    QByteArray decrypt(const QString& key, const QByteArray& data) const;
};
