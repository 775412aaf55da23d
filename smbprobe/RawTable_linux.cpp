// On Linux the raw structure table is the kernel's copy under sysfs: the same bytes that the Windows management
// class hands out as its byte array. The version and length beside it are not needed.
#include "RawTable.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace RawTable {

namespace {
const char* const rawTablePath = "/sys/firmware/dmi/tables/DMI";
} // namespace

bool load(unsigned char* buffer, std::size_t capacity, Versions& versions)
{
    std::FILE* file = std::fopen(rawTablePath, "rb");
    if (!file) {
        return false;
    }
    // A table that fills all `capacity` bytes has that many or more: it does not fit.
    std::vector<unsigned char> table(capacity);
    const std::size_t n = std::fread(table.data(), 1, table.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return false;
    }
    versions.tableLength = n;
    if (n >= capacity) {
        writeMessage("Return global_buffer would overflow.  Abort initialization of raw SMBIOS data.\n");
        return false;
    }
    std::copy(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    return true;
}

void writeMessage(const char* text)
{
    // Narrow output: a wide write would fix the stream's orientation for the whole program.
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace RawTable
