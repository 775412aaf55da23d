#include "cipher/AesCipher.h"

#include <QLibrary>

#include <openssl/evp.h>

#include <memory>

namespace {
constexpr int kBlockSize = 16;
constexpr int kKeySize = 32;

// libcrypto's cipher calls, looked up when the first text is enciphered or deciphered instead of with the program: a
// start at the login window then neither maps nor relocates the library (about 1.5 MiB resident), and the first
// request's TLS loads it anyway.
struct EvpCalls {
    decltype(&EVP_CIPHER_CTX_new) contextNew = nullptr;
    decltype(&EVP_CIPHER_CTX_free) contextFree = nullptr;
    decltype(&EVP_aes_256_ecb) aes256Ecb = nullptr;
    decltype(&EVP_CipherInit_ex) init = nullptr;
    decltype(&EVP_CIPHER_CTX_set_padding) setPadding = nullptr;
    decltype(&EVP_CipherUpdate) update = nullptr;
    decltype(&EVP_CipherFinal_ex) finish = nullptr;

    bool complete() const { return contextNew && contextFree && aes256Ecb && init && setPadding && update && finish; }
};

template <typename Call> void resolve(QLibrary& library, const char* name, Call& call)
{
    call = reinterpret_cast<Call>(library.resolve(name));
}

// nullptr when libcrypto or one of its calls cannot be found: every cipher operation then fails.
const EvpCalls* evp()
{
    static const EvpCalls calls = [] {
        EvpCalls found;
        // Found the way the dynamic linker finds the libraries the program names, kept loaded until the end.
        QLibrary library(QStringLiteral(VELTRANE_LIBCRYPTO_NAME), VELTRANE_LIBCRYPTO_VERSION);
        if (!library.load()) {
            return found;
        }
        resolve(library, "EVP_CIPHER_CTX_new", found.contextNew);
        resolve(library, "EVP_CIPHER_CTX_free", found.contextFree);
        resolve(library, "EVP_aes_256_ecb", found.aes256Ecb);
        resolve(library, "EVP_CipherInit_ex", found.init);
        resolve(library, "EVP_CIPHER_CTX_set_padding", found.setPadding);
        resolve(library, "EVP_CipherUpdate", found.update);
        resolve(library, "EVP_CipherFinal_ex", found.finish);
        return found;
    }();
    return calls.complete() ? &calls : nullptr;
}

QByteArray keyBytes(const QString& key)
{
    // Callers always pass 32 ASCII characters; anything else is padded or cut so the cipher never reads past it.
    QByteArray bytes = key.toUtf8().left(kKeySize);
    bytes.append(QByteArray(kKeySize - bytes.size(), '\0'));
    return bytes;
}

QByteArray runCipher(const QString& key, const QByteArray& input, bool encrypting)
{
    const EvpCalls* calls = evp();
    if (input.isEmpty() || !calls) {
        return {};
    }
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(calls->contextNew(), calls->contextFree);
    const QByteArray keyData = keyBytes(key);
    if (!context ||
        calls->init(context.get(), calls->aes256Ecb(), nullptr,
                    reinterpret_cast<const unsigned char*>(keyData.constData()), nullptr, encrypting ? 1 : 0) != 1) {
        return {};
    }
    calls->setPadding(context.get(), 0);
    QByteArray output(input.size() + kBlockSize, Qt::Uninitialized);
    int written = 0;
    if (calls->update(context.get(), reinterpret_cast<unsigned char*>(output.data()), &written,
                      reinterpret_cast<const unsigned char*>(input.constData()), int(input.size())) != 1) {
        return {};
    }
    int finalWritten = 0;
    if (calls->finish(context.get(), reinterpret_cast<unsigned char*>(output.data()) + written, &finalWritten) != 1) {
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
