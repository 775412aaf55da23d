// Runs one SMBIOS reader the way the program does and prints what it got, one field per line in hexadecimal, so
// that a test can run it inside a private mount namespace where a fixture stands at the real paths.
//   smbios_runner reader           the program's own table reader
//   smbios_runner library <path>   the probe library through dlopen and its two exports
#include "identity/SmbiosReader.h"

#include <QByteArray>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace {
void printField(const char* name, const QByteArray& bytes)
{
    std::printf("%s=%s\n", name, bytes.toHex().constData());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "reader") == 0) {
        const SystemInformation info = readSystemInformation();
        printField("manufacturer", info.manufacturer.toLatin1());
        printField("productName", info.productName.toLatin1());
        printField("version", info.version.toLatin1());
        printField("serialNumber", info.serialNumber.toLatin1());
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "library") == 0) {
        void* library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::printf("dlopen failed\n");
            return 2;
        }
        using InitFn = bool (*)();
        using ShowFn = const char* (*)();
        const auto init = reinterpret_cast<InitFn>(dlsym(library, "init_raw_smbios_data"));
        const auto show = reinterpret_cast<ShowFn>(dlsym(library, "show_system_information"));
        if (!init || !show) {
            std::printf("missing export\n");
            return 2;
        }
        const bool ready = init();
        std::fflush(stdout);
        std::printf("init=%d\n", ready ? 1 : 0);
        if (ready) {
            const QByteArray first(show());
            const QByteArray second(show());
            std::fflush(stdout);
            printField("text", first);
            printField("again", second);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: smbios_runner reader | library <path>\n");
    return 2;
}
