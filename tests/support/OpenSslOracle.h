#pragma once

#include <QByteArray>
#include <QString>

// openssl run as a separate process: an AES-256-ECB decipherer independent of the program's own cipher.
QByteArray opensslDecrypt(const QString& key, const QByteArray& ciphertext);
