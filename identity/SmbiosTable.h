#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The platform-independent half of the SMBIOS table reader: walking a structure table, the string rules of the
// type-1 (System Information) structure, and recognising the entry points found in the BIOS area of physical
// memory. Plain C++ without Qt, so that the platform access files compile on their own. Every function takes the
// size of its buffer and never reads past it.
namespace SmbiosTable {

// The four type-1 strings, one byte per character (ISO 8859-1). All empty while no type-1 structure was decoded.
struct SystemStrings {
    std::string manufacturer;
    std::string productName;
    std::string version;
    std::string serialNumber;
};

// Where an entry point says the structure table lies.
struct EntryPoint {
    std::uint32_t tableAddress = 0;
    std::uint16_t tableLength = 0;
    std::uint16_t structureCount = 0;
};

// Size of the area below 1 MiB that holds the entry points, and its physical address.
constexpr std::uint32_t scanAreaAddress = 0xF0000;
constexpr std::size_t scanAreaSize = 0x10000;

// dmidecode's rule for string reference n of the structure at `structure` whose formatted area is `formattedLength`
// bytes long and which (string set included) ends at `end`: 0 gives "Not Specified", a reference beyond the set
// gives "<BAD INDEX>", otherwise the string with every byte outside 0x20-0x7E shown as ".".
std::string structureString(const std::uint8_t* structure, std::size_t formattedLength, const std::uint8_t* end,
                            std::uint8_t n);

// Number of structures in a table whose count nobody gave: skip each formatted area, then the string set up to and
// past its two zero bytes, until the end of the table.
std::size_t countStructures(const std::uint8_t* table, std::size_t length);

// Walks at most maxStructures structures of the table and decodes every type-1 structure that lies wholly within
// it into `result` (the last one wins). Stops at a structure whose length is below 4 (a broken table); what was
// found before stands. Returns true when a type-1 structure was decoded.
bool walk(const std::uint8_t* table, std::size_t length, std::size_t maxStructures, SystemStrings& result);

// The same on a table whose structure count is not known: the count is found by countStructures first.
bool walkCounted(const std::uint8_t* table, std::size_t length, SystemStrings& result);

// The structure table inside the blob that the Windows firmware-table call returns for 'RSMB': byte 0 calling
// method, byte 1 major version, byte 2 minor version, byte 3 DMI revision, bytes 4-7 table length, then the table.
// The low 16 bits of the length count, and never more than the blob holds. Empty for a blob shorter than 8 bytes.
std::vector<std::uint8_t> tableFromFirmwareBlob(const std::uint8_t* blob, std::size_t size);

// Every valid "_SM_" and legacy "_DMI_" entry point at a 16-byte boundary of the scanned area, in the order found.
std::vector<EntryPoint> scanEntryPoints(const std::uint8_t* area, std::size_t size);

// Reads `length` bytes of physical memory at `address` into `out`; false when they cannot be read.
using ReadPhysical = std::function<bool(std::uint64_t address, std::size_t length, std::vector<std::uint8_t>& out)>;

// The second way to the table: read the 64 KiB at 0xF0000, and walk the table of every valid entry point found in
// it with that entry point's structure count. Returns true when a type-1 structure was decoded.
bool walkFromEntryPoints(const ReadPhysical& read, SystemStrings& result);

} // namespace SmbiosTable
