#pragma once

// The account's Run key (HKCU\Software\Microsoft\Windows\CurrentVersion\Run): Windows starts every program named
// there when the user logs in. Plain Win32, without Qt, so that a cross compiler checks it.
namespace RunKey {

// True when the key holds a value of this name.
bool contains(const wchar_t* valueName);
// Sets the value to the program's path in double quotes (a path with blanks would otherwise be split).
bool set(const wchar_t* valueName, const wchar_t* programPath);
// Removes the value; true also when there was none.
bool remove(const wchar_t* valueName);

} // namespace RunKey
