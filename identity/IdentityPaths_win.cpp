#include "identity/IdentityPaths_win.h"

#include <windows.h>

namespace IdentityPaths {

std::wstring scriptHostPath()
{
    wchar_t folder[MAX_PATH];
    // The length without the terminating NUL; 0 on failure, and MAX_PATH or more when the buffer is too small.
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(folder, length) + L"\\cscript.exe";
}

std::wstring probeLibraryPath(const std::wstring& programDir)
{
    return programDir + L"/smbprobe.dll";
}

} // namespace IdentityPaths
