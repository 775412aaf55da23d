// Status and registration reply decoders over arbitrary bodies. The first byte chooses whether the rest is the body
// itself or a plaintext enciphered with the decoder's key, so that the fuzzer also reaches the field parsing.
#include "protocol/AesCipher.h"
#include "protocol/RegTransaction.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString key = QStringLiteral("FUZZKEYFUZZKEYFUZZKEYFUZZKEYFUZZ");
    static const RegTransaction transaction(key);
    if (size == 0) {
        return 0;
    }
    QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        body = AesCipher().encrypt(key, body);
    }
    const QString status = transaction.decodeStatusReply(body);
    const QString registration = transaction.decodeRegReply(body);
    if (status != registration || status.size() > body.size()) {
        __builtin_trap();
    }
    return 0;
}
