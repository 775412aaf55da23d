#include "core/platform/Win32_win.h"

#include <windows.h>

#include <cstdio>

namespace Win32 {

std::string accountName()
{
    // UNLEN (256) characters and the terminating NUL.
    char name[257] = {};
    DWORD size = sizeof(name);
    if (!GetUserNameA(name, &size)) {
        return {};
    }
    return std::string(name);
}

void pause(unsigned long milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

bool isOwnDirectory(const std::wstring& path)
{
    // The profile folder is the account's own; what matters here is that no link leads elsewhere. The attributes
    // are those of the name itself: a link to a directory carries the directory bit and a reparse point, and only
    // the reparse tag, which the directory listing gives, tells a symbolic link from other reparse points.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return true;
    }
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    // For a reparse point, dwReserved0 holds its tag.
    return entry.dwReserved0 != IO_REPARSE_TAG_SYMLINK;
}

bool appendToPrivateFile(const std::wstring& path, const std::string& bytes)
{
    // Opened for appending only, so that every write lands at the end even while another handle writes too.
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool complete = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        // WriteFile takes at most a DWORD's count at a time.
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            complete = false;
            break;
        }
        done += written;
    }
    CloseHandle(file);
    return complete;
}

namespace {
// Whether the process was given a handle for this stream (a pipe, a file, a console it was started with).
bool hasStandardHandle(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}
} // namespace

bool attachParentConsole()
{
    // Asked before attaching: attaching gives the process console handles of its own.
    const bool hasOut = hasStandardHandle(STD_OUTPUT_HANDLE);
    const bool hasErr = hasStandardHandle(STD_ERROR_HANDLE);
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return false;
    }
    // A program of the window subsystem starts with no standard handles: the C streams lead nowhere until they are
    // opened on the console. A redirected stream already leads somewhere and is left alone.
    if (!hasOut) {
        FILE* stream = nullptr;
        freopen_s(&stream, "CONOUT$", "w", stdout);
    }
    if (!hasErr) {
        FILE* stream = nullptr;
        freopen_s(&stream, "CONOUT$", "w", stderr);
    }
    return true;
}

std::wstring instanceChannelName(const std::wstring& key)
{
    return key + L"channel";
}

} // namespace Win32
