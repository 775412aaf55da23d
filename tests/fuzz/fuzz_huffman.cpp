// Coded fields come from the settings file, which anyone with access to the home directory can edit: uncompress
// and decodeText must reject malformed input without reading past it, and whatever they accept must re-encode.
#include "storage/HuffmanCodec.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the count; the rest is the compressed form.
    const qsizetype count = (qsizetype(data[0]) << 8 | data[1]) % 1500;
    const QByteArray compressed(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2));

    const QByteArray plain = HuffmanCodec::uncompress(compressed, count);
    if (!plain.isEmpty() && plain.size() != count) {
        std::abort();
    }
    if (!plain.isEmpty() && HuffmanCodec::uncompress(HuffmanCodec::compress(plain), count) != plain) {
        std::abort();
    }
    const QString text = HuffmanCodec::decodeText(QString::fromLatin1(compressed), count);
    if (!text.isEmpty() && text.size() != count) {
        std::abort();
    }
    return 0;
}
