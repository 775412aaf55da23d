#pragma once

// The two exports of the SMBIOS probe library, with C linkage and undecorated names. The program loads the library
// at run time by file name and resolves both by name.
#if defined(_WIN32)
#define SMBPROBE_EXPORT __declspec(dllexport)
#else
#define SMBPROBE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Fills the library's table buffer from the platform's management interface. False only when that interface
// cannot be set up or the table does not fit; true (with an all-zero buffer) when it delivers no table.
SMBPROBE_EXPORT bool init_raw_smbios_data();

// The manufacturer, the byte 0xA7 and the serial number of the first type-1 structure of the buffer, NUL-
// terminated. The text belongs to the library and stays valid until the next call.
SMBPROBE_EXPORT const char* show_system_information();
}
