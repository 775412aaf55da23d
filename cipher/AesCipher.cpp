#include "cipher/AesCipher.h"

#include <openssl/evp.h>

#include <memory>

namespace {
constexpr int kBlockSize = 16;
constexpr int kKeySize = 32;

QByteArray keyBytes(const QString& key)
{
    // Callers always pass 32 ASCII characters; anything else is padded or cut so the cipher never reads past it.
    QByteArray bytes = key.toUtf8().left(kKeySize);
    bytes.append(QByteArray(kKeySize - bytes.size(), '\0'));
    return bytes;
}

QByteArray runCipher(const QString& key, const QByteArray& input, bool encrypting)
{
    if (input.isEmpty()) {
        return {};
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    const QByteArray keyData = keyBytes(key);
    if (!context || EVP_CipherInit_ex(context.get(), EVP_aes_256_ecb(), nullptr,
                                      reinterpret_cast<const unsigned char*>(keyData.constData()), nullptr,
                                      encrypting ? 1 : 0) != 1) {
        return {};
    }
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    QByteArray output(input.size() + kBlockSize, Qt::Uninitialized);
    int written = 0;
    if (EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(output.data()), &written,
                         reinterpret_cast<const unsigned char*>(input.constData()), int(input.size())) != 1) {
        return {};
    }
    int finalWritten = 0;
    if (EVP_CipherFinal_ex(context.get(), reinterpret_cast<unsigned char*>(output.data()) + written, &finalWritten) !=
        1) {
        return {};
    }
    output.resize(written + finalWritten);
    return output;
}
} // namespace

QByteArray AesCipher::encrypt(const QString& key, const QByteArray& data) const
{
    QByteArray padded = data;
    const qsizetype remainder = padded.size() % kBlockSize;
    if (remainder != 0) {
        padded.append(QByteArray(kBlockSize - remainder, '\0'));
    }
    return runCipher(key, padded, true);
}

QByteArray AesCipher::decrypt(const QString& key, const QByteArray& data) const
{
    return runCipher(key, data.left(data.size() - data.size() % kBlockSize), false);
}
