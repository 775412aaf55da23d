// The record parsers of login.dat, res.dat and the synchronisation payload read bytes that may be damaged or
// forged; they must split them without crashing or reading past the end.
#include "storage/ResourceStore.h"
#include "storage/StoredLogin.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ResourceStore::parseRecords(bytes);
    StoredLogin::fromPlaintext(QByteArray("A3CAD326469EFFACADBCADCCAD") + bytes);
    StoredLogin::fromPlaintext(bytes);
    return 0;
}
