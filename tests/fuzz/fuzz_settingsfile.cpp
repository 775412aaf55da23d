// Proxy.dat comes from disk: any bytes must decode to some values (defaults for what does not read) without a
// crash, an overread or a runaway allocation; short values that decode must encode and decode to the same values.
#include "storage/SettingsFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const SettingsValues values = SettingsFile::decode(bytes);
    // Texts of settings size (far below the codec's 1024-byte buffers) come back unchanged.
    const bool short_ =
        values.proxyHost.size() < 256 && values.proxyUser.size() < 256 && values.proxyPassword.size() < 256;
    if (short_ && !(SettingsFile::decode(SettingsFile::encode(values)) == values)) {
        std::abort();
    }
    return 0;
}
