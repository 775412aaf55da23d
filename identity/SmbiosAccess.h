#pragma once

#include "identity/SmbiosTable.h"

// The platform half of the SMBIOS table reader: how the structure table is obtained. One implementation file per
// platform, chosen by the build; plain C++ like the walker it feeds.
namespace SmbiosAccess {

// The type-1 strings of the machine's table; empty strings when the table cannot be had.
SmbiosTable::SystemStrings readSystemStrings();

} // namespace SmbiosAccess
