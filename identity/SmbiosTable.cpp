#include "identity/SmbiosTable.h"

#include <algorithm>
#include <cstring>

namespace SmbiosTable {

namespace {

std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool sumsToZero(const std::uint8_t* p, std::size_t count)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum + p[i]);
    }
    return sum == 0;
}

// Offset just past the two zero bytes that end the string set starting at `from`, or length + 1 when the table
// ends first (the structure is then not wholly within the table).
std::size_t endOfStringSet(const std::uint8_t* table, std::size_t length, std::size_t from)
{
    std::size_t next = from;
    while (next + 1 < length && (table[next] != 0 || table[next + 1] != 0)) {
        ++next;
    }
    return next + 2;
}

} // namespace

std::string structureString(const std::uint8_t* structure, std::size_t formattedLength, const std::uint8_t* end,
                            std::uint8_t n)
{
    static const std::string notSpecified = "Not Specified";
    static const std::string badIndex = "<BAD INDEX>";
    if (n == 0) {
        return notSpecified;
    }
    if (end < structure || static_cast<std::size_t>(end - structure) <= formattedLength) {
        return badIndex;
    }
    const std::uint8_t* p = structure + formattedLength;
    for (; n > 1 && p < end && *p != 0; --n) {
        while (p < end && *p != 0) {
            ++p;
        }
        ++p;
    }
    if (p >= end || *p == 0) {
        return badIndex;
    }
    std::string text;
    for (; p < end && *p != 0; ++p) {
        text += (*p >= 0x20 && *p <= 0x7E) ? static_cast<char>(*p) : '.';
    }
    return text;
}

std::size_t countStructures(const std::uint8_t* table, std::size_t length)
{
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos + 1 < length) {
        pos = endOfStringSet(table, length, pos + table[pos + 1]);
        ++count;
    }
    return count;
}

bool walk(const std::uint8_t* table, std::size_t length, std::size_t maxStructures, SystemStrings& result)
{
    bool decoded = false;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < maxStructures && pos + 4 <= length; ++i) {
        const std::uint8_t type = table[pos];
        const std::uint8_t formattedLength = table[pos + 1];
        if (formattedLength < 4) {
            break; // DMI table is broken: nothing after this header can be located.
        }
        const std::size_t next = endOfStringSet(table, length, pos + formattedLength);
        if (next <= length && type == 1 && formattedLength >= 8) {
            const std::uint8_t* structure = table + pos;
            const std::uint8_t* end = table + next;
            result.manufacturer = structureString(structure, formattedLength, end, structure[4]);
            result.productName = structureString(structure, formattedLength, end, structure[5]);
            result.version = structureString(structure, formattedLength, end, structure[6]);
            result.serialNumber = structureString(structure, formattedLength, end, structure[7]);
            decoded = true;
        }
        pos = next;
    }
    return decoded;
}

bool walkCounted(const std::uint8_t* table, std::size_t length, SystemStrings& result)
{
    return walk(table, length, countStructures(table, length), result);
}

std::vector<std::uint8_t> tableFromFirmwareBlob(const std::uint8_t* blob, std::size_t size)
{
    constexpr std::size_t headerSize = 8;
    if (size < headerSize) {
        return {};
    }
    const std::size_t declared = le32(blob + 4) & 0xFFFFu;
    const std::size_t length = std::min(declared, size - headerSize);
    return std::vector<std::uint8_t>(blob + headerSize, blob + headerSize + length);
}

std::vector<EntryPoint> scanEntryPoints(const std::uint8_t* area, std::size_t size)
{
    // "_SM_" entry point: its own checksum over the length at offset 5, then an embedded "_DMI_" part at 0x10 with
    // a checksum over 15 bytes; the fields read below end at offset 0x1E.
    constexpr std::size_t smMinimum = 0x1F;
    constexpr std::size_t smLastOffset = 0xFFE0;
    constexpr std::size_t dmiLength = 15;
    std::vector<EntryPoint> found;
    for (std::size_t off = 0; off + 16 <= size; off += 16) {
        const std::uint8_t* p = area + off;
        if (off <= smLastOffset && off + smMinimum <= size && std::memcmp(p, "_SM_", 4) == 0) {
            const std::size_t epLength = p[5];
            if (off + epLength <= size && sumsToZero(p, epLength) && std::memcmp(p + 0x10, "_DMI_", 5) == 0 &&
                sumsToZero(p + 0x10, dmiLength)) {
                found.push_back({le32(p + 0x18), le16(p + 0x16), le16(p + 0x1C)});
                off += 16; // the next paragraph is this entry point's own "_DMI_" part
                continue;
            }
        }
        if (off + dmiLength <= size && std::memcmp(p, "_DMI_", 5) == 0 && sumsToZero(p, dmiLength)) {
            found.push_back({le32(p + 0x08), le16(p + 0x06), le16(p + 0x0C)});
        }
    }
    return found;
}

bool walkFromEntryPoints(const ReadPhysical& read, SystemStrings& result)
{
    std::vector<std::uint8_t> area;
    if (!read(scanAreaAddress, scanAreaSize, area)) {
        return false;
    }
    bool decoded = false;
    for (const EntryPoint& entry : scanEntryPoints(area.data(), area.size())) {
        std::vector<std::uint8_t> table;
        if (entry.tableLength != 0 && read(entry.tableAddress, entry.tableLength, table)) {
            decoded = walk(table.data(), table.size(), entry.structureCount, result) || decoded;
        }
    }
    return decoded;
}

} // namespace SmbiosTable
