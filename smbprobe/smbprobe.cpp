#include "smbprobe.h"

#include "RawTable.h"
#include "SmbiosSearch.h"

#include <cstring>

namespace {
// One copy per process. The search restarts at offset 0 on every show_system_information call.
unsigned char smbiosBuffer[SmbiosSearch::bufferSize];
char resultText[SmbiosSearch::resultSize];
RawTable::Versions versions;
} // namespace

extern "C" {

bool init_raw_smbios_data()
{
    std::memset(smbiosBuffer, 0, sizeof smbiosBuffer);
    return RawTable::load(smbiosBuffer, sizeof smbiosBuffer, versions);
}

const char* show_system_information()
{
    if (!SmbiosSearch::composeSystemInformation(smbiosBuffer, resultText)) {
        RawTable::writeMessage(" An error occurred retrieving this data from the bios.  No information available.\n\n");
    }
    return resultText;
}
}
