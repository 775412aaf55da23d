#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The probe library's search over its raw table buffer, without any platform call, so that it can be fed buffers
// directly. Every offset is checked against the buffer size.
namespace SmbiosSearch {

// The raw table buffer and the scratch area a found structure is copied into.
constexpr std::size_t bufferSize = 64000;
// The longest string kept, and the most strings of one set collected.
constexpr std::size_t maxStringLength = 999;
constexpr std::size_t maxStrings = 25;
// Two strings and the separator, plus the terminating NUL.
constexpr std::size_t resultSize = 2 * maxStringLength + 2;
constexpr char separator = '\xA7';

// Finds the first structure of `type` at or after `position` in `buffer` (bufferSize bytes) and copies it (formatted
// area and string set) to `out`, of `capacity` bytes. On success `position` moves just past it and `copied` holds its
// size. A structure whose string set has no ending double NUL ends the search, as does one that does not fit.
bool findStructure(const std::uint8_t* buffer, std::size_t& position, std::uint8_t type, std::uint8_t* out,
                   std::size_t capacity, std::size_t& copied);

// String `index` (1-based) of a copied structure of `size` bytes; empty for index 0, a reference beyond the set,
// or beyond the first 25 strings. Strings longer than 999 bytes are cut there.
std::string structureString(const std::uint8_t* structure, std::size_t size, std::uint8_t index);

// Writes manufacturer, separator and serial number of the first type-1 structure of `buffer` into `result`
// (resultSize bytes, NUL-terminated). Returns false when there is no type-1 structure (the text is then the
// separator alone).
bool composeSystemInformation(const std::uint8_t* buffer, char* result);

} // namespace SmbiosSearch
