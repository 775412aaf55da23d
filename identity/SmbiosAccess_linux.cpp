// Linux access to the SMBIOS structure table: the kernel's copy of the raw table, else the entry points in the
// BIOS area of physical memory. Both need root; without it every read fails and the strings stay empty.
#include "identity/SmbiosAccess.h"

#include <fcntl.h>
#include <unistd.h>

namespace SmbiosAccess {

namespace {

const char* const rawTablePath = "/sys/firmware/dmi/tables/DMI";
const char* const physicalMemoryPath = "/dev/mem";
// Far above any real table; keeps a strange file from exhausting memory.
constexpr std::size_t maxTableSize = 16 * 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads `length` bytes at `offset`; false on an error or when fewer bytes exist.
bool readAt(int fd, std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>& out)
{
    out.assign(length, 0);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done == length;
}

// The whole file, read in pieces: sysfs does not always report the size of what it serves.
bool readWhole(int fd, std::vector<std::uint8_t>& out)
{
    constexpr std::size_t piece = 0x10000;
    out.clear();
    while (out.size() < maxTableSize) {
        const std::size_t done = out.size();
        out.resize(done + piece);
        const ssize_t n = ::read(fd, out.data() + done, piece);
        if (n < 0) {
            return false;
        }
        out.resize(done + static_cast<std::size_t>(n));
        if (n == 0) {
            break;
        }
    }
    return true;
}

bool fromRawTable(SmbiosTable::SystemStrings& result, bool& readable)
{
    FileDescriptor file(rawTablePath);
    std::vector<std::uint8_t> table;
    readable = file.get() >= 0 && readWhole(file.get(), table) && !table.empty();
    return readable && SmbiosTable::walkCounted(table.data(), table.size(), result);
}

bool fromPhysicalMemory(SmbiosTable::SystemStrings& result)
{
    FileDescriptor memory(physicalMemoryPath);
    if (memory.get() < 0) {
        return false;
    }
    const int fd = memory.get();
    return SmbiosTable::walkFromEntryPoints(
        [fd](std::uint64_t address, std::size_t length, std::vector<std::uint8_t>& out) {
            return readAt(fd, address, length, out);
        },
        result);
}

} // namespace

SmbiosTable::SystemStrings readSystemStrings()
{
    SmbiosTable::SystemStrings result;
    bool readable = false;
    if (!fromRawTable(result, readable) && !readable) {
        fromPhysicalMemory(result);
    }
    return result;
}

} // namespace SmbiosAccess
