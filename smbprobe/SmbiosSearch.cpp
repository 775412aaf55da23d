#include "SmbiosSearch.h"

#include <cstring>
#include <vector>

namespace SmbiosSearch {

namespace {

// Size of the structure at p: its formatted length plus its string set up to and including the double NUL, or 0
// when no double NUL starts below the buffer's last byte.
std::size_t structureSize(const std::uint8_t* buffer, std::size_t p)
{
    const std::size_t formattedLength = buffer[p + 1];
    for (std::size_t i = p + formattedLength; i + 1 < bufferSize; ++i) {
        if (buffer[i] == 0 && buffer[i + 1] == 0) {
            return i - (p + formattedLength) + 2 + formattedLength;
        }
    }
    return 0;
}

} // namespace

bool findStructure(const std::uint8_t* buffer, std::size_t& position, std::uint8_t type, std::uint8_t* out,
                   std::size_t capacity, std::size_t& copied)
{
    std::size_t p = position;
    while (p + 1 < bufferSize) {
        const std::size_t size = structureSize(buffer, p);
        if (size == 0) {
            return false;
        }
        if (buffer[p] == type) {
            if (size >= capacity) {
                return false;
            }
            std::memcpy(out, buffer + p, size);
            copied = size;
            position = p + size;
            return true;
        }
        p += size;
    }
    return false;
}

std::string structureString(const std::uint8_t* structure, std::size_t size, std::uint8_t index)
{
    if (size < 2) {
        return {};
    }
    std::vector<std::string> strings;
    std::size_t p = structure[1];
    // An empty set is the double NUL right after the formatted area; otherwise every string ends with a NUL and the
    // set with one more.
    while (p < size && structure[p] != 0 && strings.size() < maxStrings) {
        std::string text;
        for (; p < size && structure[p] != 0; ++p) {
            if (text.size() < maxStringLength) {
                text += static_cast<char>(structure[p]);
            }
        }
        ++p;
        strings.push_back(text);
    }
    if (index == 0 || index > strings.size()) {
        return {};
    }
    return strings[index - 1u];
}

bool composeSystemInformation(const std::uint8_t* buffer, char* result)
{
    std::vector<std::uint8_t> scratch(bufferSize, 0);
    std::size_t position = 0;
    std::size_t copied = 0;
    std::string manufacturer;
    std::string serialNumber;
    const bool found = findStructure(buffer, position, 1, scratch.data(), scratch.size(), copied);
    if (found) {
        // The string references of type 1: byte 4 manufacturer, byte 7 serial number.
        manufacturer = structureString(scratch.data(), copied, copied > 4 ? scratch[4] : 0);
        serialNumber = structureString(scratch.data(), copied, copied > 7 ? scratch[7] : 0);
    }
    std::size_t n = 0;
    std::memcpy(result + n, manufacturer.data(), manufacturer.size());
    n += manufacturer.size();
    result[n++] = separator;
    std::memcpy(result + n, serialNumber.data(), serialNumber.size());
    n += serialNumber.size();
    result[n] = '\0';
    return found;
}

} // namespace SmbiosSearch
