// Windows access to the SMBIOS structure table. Windows Server 2003 / XP x64 (NT 5.2) and later hand out the raw
// table through GetSystemFirmwareTable('RSMB'); older NT systems only through a view of physical memory, where the
// entry points of the BIOS area say where the table lies. Windows 9x/Me has neither. Every function is resolved at
// run time so that the program starts on systems that lack it.
#include "identity/SmbiosAccess.h"

#include <windows.h>

#include <cstring>

namespace SmbiosAccess {

namespace {

using GetSystemFirmwareTableFn = UINT(WINAPI*)(DWORD provider, DWORD tableId, PVOID buffer, DWORD size);

struct NtUnicodeString {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};

struct NtObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    NtUnicodeString* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};

using NtStatus = LONG;
using RtlInitUnicodeStringFn = VOID(WINAPI*)(NtUnicodeString* target, PCWSTR source);
using NtOpenSectionFn = NtStatus(WINAPI*)(PHANDLE section, ACCESS_MASK access, NtObjectAttributes* attributes);
using NtMapViewOfSectionFn = NtStatus(WINAPI*)(HANDLE section, HANDLE process, PVOID* base, ULONG_PTR zeroBits,
                                               SIZE_T commitSize, PLARGE_INTEGER offset, PSIZE_T viewSize,
                                               DWORD inheritDisposition, ULONG allocationType, ULONG protect);
using NtUnmapViewOfSectionFn = NtStatus(WINAPI*)(HANDLE process, PVOID base);
using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(NtStatus status);

constexpr ULONG objCaseInsensitive = 0x40;
constexpr DWORD viewShare = 1;
constexpr DWORD rsmbProvider = ('R' << 24) | ('S' << 16) | ('M' << 8) | 'B';

template <typename Fn> Fn resolve(HMODULE module, const char* name)
{
    if (!module) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool fromFirmwareTable(SmbiosTable::SystemStrings& result)
{
    const auto getTable =
        resolve<GetSystemFirmwareTableFn>(GetModuleHandleW(L"kernel32.dll"), "GetSystemFirmwareTable");
    if (!getTable) {
        return false;
    }
    const UINT size = getTable(rsmbProvider, 0, nullptr, 0);
    if (size == 0) {
        return false;
    }
    std::vector<std::uint8_t> blob(size);
    const UINT got = getTable(rsmbProvider, 0, blob.data(), size);
    if (got == 0 || got > size) {
        return false;
    }
    const std::vector<std::uint8_t> table = SmbiosTable::tableFromFirmwareBlob(blob.data(), got);
    return SmbiosTable::walkCounted(table.data(), table.size(), result);
}

class PhysicalMemory {
public:
    PhysicalMemory()
    {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        initString_ = resolve<RtlInitUnicodeStringFn>(ntdll, "RtlInitUnicodeString");
        openSection_ = resolve<NtOpenSectionFn>(ntdll, "NtOpenSection");
        mapView_ = resolve<NtMapViewOfSectionFn>(ntdll, "NtMapViewOfSection");
        unmapView_ = resolve<NtUnmapViewOfSectionFn>(ntdll, "NtUnmapViewOfSection");
        toDosError_ = resolve<RtlNtStatusToDosErrorFn>(ntdll, "RtlNtStatusToDosError");
        if (!initString_ || !openSection_ || !mapView_ || !unmapView_ || !toDosError_) {
            return;
        }
        NtUnicodeString name{};
        initString_(&name, L"\\device\\physicalmemory");
        NtObjectAttributes attributes{sizeof(NtObjectAttributes), nullptr, &name, objCaseInsensitive, nullptr, nullptr};
        const NtStatus status = openSection_(&section_, SECTION_MAP_READ, &attributes);
        if (status < 0) {
            SetLastError(toDosError_(status));
            section_ = nullptr;
        }
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        granularity_ = info.dwAllocationGranularity ? info.dwAllocationGranularity : 0x10000;
    }
    ~PhysicalMemory()
    {
        if (section_) {
            CloseHandle(section_);
        }
    }
    PhysicalMemory(const PhysicalMemory&) = delete;
    PhysicalMemory& operator=(const PhysicalMemory&) = delete;

    bool isOpen() const { return section_ != nullptr; }

    // Copies `length` bytes at a physical address. A view must begin at a multiple of the allocation granularity.
    bool read(std::uint64_t address, std::size_t length, std::vector<std::uint8_t>& out)
    {
        const std::uint64_t base = address - address % granularity_;
        LARGE_INTEGER offset{};
        offset.QuadPart = static_cast<LONGLONG>(base);
        SIZE_T viewSize = static_cast<SIZE_T>(address - base + length);
        PVOID view = nullptr;
        const NtStatus status =
            mapView_(section_, GetCurrentProcess(), &view, 0, 0, &offset, &viewSize, viewShare, 0, PAGE_READONLY);
        if (status < 0 || !view) {
            SetLastError(toDosError_(status));
            return false;
        }
        const std::uint64_t skip = address - static_cast<std::uint64_t>(offset.QuadPart);
        const bool whole = viewSize >= skip + length;
        if (whole) {
            out.assign(static_cast<const std::uint8_t*>(view) + skip,
                       static_cast<const std::uint8_t*>(view) + skip + length);
        }
        unmapView_(GetCurrentProcess(), view);
        return whole;
    }

private:
    RtlInitUnicodeStringFn initString_ = nullptr;
    NtOpenSectionFn openSection_ = nullptr;
    NtMapViewOfSectionFn mapView_ = nullptr;
    NtUnmapViewOfSectionFn unmapView_ = nullptr;
    RtlNtStatusToDosErrorFn toDosError_ = nullptr;
    HANDLE section_ = nullptr;
    std::uint64_t granularity_ = 0x10000;
};

bool fromPhysicalMemory(SmbiosTable::SystemStrings& result)
{
    PhysicalMemory memory;
    if (!memory.isOpen()) {
        return false;
    }
    return SmbiosTable::walkFromEntryPoints(
        [&memory](std::uint64_t address, std::size_t length, std::vector<std::uint8_t>& out) {
            return memory.read(address, length, out);
        },
        result);
}

} // namespace

SmbiosTable::SystemStrings readSystemStrings()
{
    SmbiosTable::SystemStrings result;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return result;
    }
    if (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion > 1)) {
        fromFirmwareTable(result);
    } else {
        fromPhysicalMemory(result);
    }
    return result;
}

} // namespace SmbiosAccess
