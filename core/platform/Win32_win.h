#pragma once

#include <string>

// The Windows calls behind Platform_win.cpp, in plain C++ without Qt so that a cross compiler checks them. Paths are
// native (backslashes), as the wide-character API takes them.
namespace Win32 {

// The account's user name in the system's ANSI code page (GetUserNameA); empty when it cannot be had.
std::string accountName();

// Blocks the calling thread (Sleep): no message of the thread's windows is handled meanwhile.
void pause(unsigned long milliseconds);

// True when the path names a directory that is not a symbolic link to one.
bool isOwnDirectory(const std::wstring& path);

// Appends the bytes to the file, created when missing; false when it cannot be opened or not every byte is written.
bool appendToPrivateFile(const std::wstring& path, const std::string& bytes);

// Attaches the process to its parent's console (AttachConsole(ATTACH_PARENT_PROCESS)) and opens the C streams
// stdout and stderr on it where the process has no standard handle of its own; a redirected handle (a pipe, a file)
// is kept. False when there is no parent console (started from the desktop).
bool attachParentConsole();

// The name of the running instance's channel for a second start's request: a plain name, which a local server makes
// a pipe of the user's own session.
std::wstring instanceChannelName(const std::wstring& key);

} // namespace Win32
