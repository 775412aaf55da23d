#include "support/OpenSslOracle.h"

#include <QProcess>

QByteArray opensslDecrypt(const QString& key, const QByteArray& ciphertext)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-ecb"),
                   QStringLiteral("-nopad"), QStringLiteral("-K"), QString::fromLatin1(key.toLatin1().toHex())});
    openssl.write(ciphertext);
    openssl.closeWriteChannel();
    openssl.waitForFinished(10000);
    return openssl.readAllStandardOutput();
}
