#pragma once

#include <cstddef>
#include <cstdint>

// Where the probe library gets its raw SMBIOS structure table: one implementation file per platform.
namespace RawTable {

// What the management interface reports besides the table; kept for information only.
struct Versions {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::size_t tableLength = 0;
};

// Copies the raw structure table into `buffer` (already zero, `capacity` bytes). False when the interface cannot
// be set up or the table has `capacity` bytes or more (the buffer then stays zero); true when the interface
// delivers no table.
bool load(unsigned char* buffer, std::size_t capacity, Versions& versions);

// Writes a message of the library to the process's standard output.
void writeMessage(const char* text);

} // namespace RawTable
