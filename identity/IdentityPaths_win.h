#pragma once

#include <string>

// Where the device identity's Windows sources live, in plain C++ without Qt so that a cross compiler checks it.
namespace IdentityPaths {

// Windows' own script host, cscript.exe in the system folder (GetSystemDirectoryW); empty when the folder cannot be
// had. Never one found through PATH or in the current folder.
std::wstring scriptHostPath();

// The probe library in the program's own (install) folder, by absolute path only: with a bare name the loader would
// also search the current folder, and whoever planted a library there would choose the device identity.
std::wstring probeLibraryPath(const std::wstring& programDir);

} // namespace IdentityPaths
