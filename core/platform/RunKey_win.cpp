#include "core/platform/RunKey_win.h"

#include <windows.h>

#include <string>

namespace RunKey {

namespace {
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

HKEY openRunKey(REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}
} // namespace

bool contains(const wchar_t* valueName)
{
    HKEY key = openRunKey(KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    const bool found = RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

bool set(const wchar_t* valueName, const wchar_t* programPath)
{
    HKEY key = nullptr;
    // The key exists on every installation; creating it covers a profile where it was deleted.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const std::wstring command = L"\"" + std::wstring(programPath) + L"\"";
    // REG_SZ data is counted in bytes and includes the terminating NUL.
    const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    const bool written = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                        bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool remove(const wchar_t* valueName)
{
    HKEY key = openRunKey(KEY_SET_VALUE);
    if (!key) {
        return true;
    }
    const LSTATUS status = RegDeleteValueW(key, valueName);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace RunKey
