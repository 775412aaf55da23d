// The probe library's search on an arbitrary raw table buffer (the rest of the 64000 bytes zero, as after the
// library's initialisation).
#include "smbprobe/SmbiosSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> buffer(SmbiosSearch::bufferSize, 0);
    std::copy(data, data + std::min(size, buffer.size()), buffer.begin());
    char result[SmbiosSearch::resultSize];
    SmbiosSearch::composeSystemInformation(buffer.data(), result);
    return 0;
}
