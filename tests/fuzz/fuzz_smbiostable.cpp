// The program's own SMBIOS walker on arbitrary bytes: as a structure table, as a firmware-table blob, and as the
// BIOS area scanned for entry points.
#include "identity/SmbiosTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SmbiosTable::SystemStrings strings;
    SmbiosTable::walkCounted(data, size, strings);
    SmbiosTable::walk(data, size, 0xFFFF, strings);
    const std::vector<std::uint8_t> table = SmbiosTable::tableFromFirmwareBlob(data, size);
    SmbiosTable::walkCounted(table.data(), table.size(), strings);
    SmbiosTable::scanEntryPoints(data, size);
    return 0;
}
