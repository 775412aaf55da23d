// On Windows the raw structure table comes from the management class MSSMBios_RawSMBiosTables of the ROOT\WMI
// namespace: its SMBiosData property is the table as a byte array, without any entry-point header.
#include "RawTable.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace RawTable {

namespace {

// CLSID_WbemLocator and IID_IWbemLocator, spelled out so that no GUID library is needed.
const CLSID wbemLocatorClass = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID wbemLocatorInterface = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

// A BSTR that frees itself.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

bool readByte(IWbemClassObject* object, const wchar_t* name, std::uint8_t& out)
{
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->Get(name, 0, &value, nullptr, nullptr))) {
        return false;
    }
    const bool isByte = value.vt == VT_UI1;
    if (isByte) {
        out = value.bVal;
    }
    VariantClear(&value);
    return isByte;
}

enum class Copy { Done, Overflow };

// Reads the versions and the table of one instance. Anything missing or of another type leaves the buffer zero.
Copy copyTable(IWbemClassObject* object, unsigned char* buffer, std::size_t capacity, Versions& versions)
{
    if (!readByte(object, L"SmbiosMajorVersion", versions.major) ||
        !readByte(object, L"SmbiosMinorVersion", versions.minor)) {
        return Copy::Done;
    }
    VARIANT data;
    VariantInit(&data);
    Copy result = Copy::Done;
    if (SUCCEEDED(object->Get(L"SMBiosData", 0, &data, nullptr, nullptr)) && data.vt == (VT_ARRAY | VT_UI1) &&
        data.parray) {
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(data.parray, 1, &lower);
        SafeArrayGetUBound(data.parray, 1, &upper);
        const std::size_t n = upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
        versions.tableLength = n;
        if (n >= capacity) {
            writeMessage("Return global_buffer would overflow.  Abort initialization of raw SMBIOS data.\n");
            result = Copy::Overflow;
        } else {
            void* bytes = nullptr;
            if (n > 0 && SUCCEEDED(SafeArrayAccessData(data.parray, &bytes))) {
                std::memcpy(buffer, bytes, n);
                SafeArrayUnaccessData(data.parray);
            }
        }
    }
    VariantClear(&data);
    return result;
}

} // namespace

bool load(unsigned char* buffer, std::size_t capacity, Versions& versions)
{
    if (FAILED(CoInitialize(nullptr))) {
        return false;
    }
    IWbemLocator* locator = nullptr;
    if (FAILED(CoCreateInstance(wbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, wbemLocatorInterface,
                                reinterpret_cast<void**>(&locator)))) {
        CoUninitialize();
        return false;
    }
    IWbemServices* services = nullptr;
    const Bstr wmiNamespace(L"ROOT\\WMI");
    if (FAILED(locator->ConnectServer(wmiNamespace, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services))) {
        locator->Release();
        CoUninitialize();
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        services->Release();
        locator->Release();
        CoUninitialize();
        return false;
    }
    IEnumWbemClassObject* instances = nullptr;
    const Bstr className(L"MSSMBios_RawSMBiosTables");
    if (FAILED(services->CreateInstanceEnum(className, 0, nullptr, &instances))) {
        services->Release();
        locator->Release();
        CoUninitialize();
        return false;
    }
    IWbemClassObject* instance = nullptr;
    ULONG returned = 0;
    const HRESULT next = instances->Next(static_cast<LONG>(WBEM_INFINITE), 1, &instance, &returned);
    instances->Release();
    Copy copy = Copy::Done;
    // An error status, or no instance at all: no table, the buffer stays zero.
    if (next == WBEM_S_NO_ERROR && returned == 1 && instance) {
        copy = copyTable(instance, buffer, capacity, versions);
    }
    if (instance) {
        instance->Release();
    }
    services->Release();
    locator->Release();
    CoUninitialize();
    return copy == Copy::Done;
}

void writeMessage(const char* text)
{
    std::wprintf(L"%hs", text);
    std::fflush(stdout);
}

} // namespace RawTable
