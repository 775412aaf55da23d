#include "identity/IdentityPlatform.h"

#include "VeltraneBuildConfig.h"

namespace IdentityPlatform {

QString scriptHostPath()
{
    // No script host is installed here: the management data comes from readMachineData instead.
    return {};
}

QStringList probeLibraryPaths(const QString& programDir)
{
    // The program's own folder (the build tree), then the private library folder of an installed copy
    // (bin/../lib/<arch>/veltrane-auth). A bare name would hand the choice to the loader's search, where an empty
    // LD_LIBRARY_PATH entry means the current folder: whoever plants a library there would choose the device
    // identity.
    return {programDir + QStringLiteral("/libsmbprobe.so"),
            programDir + QStringLiteral("/" VELTRANE_PRIVATE_LIB_DIR "/libsmbprobe.so")};
}

bool readsMachineData()
{
    return true;
}

} // namespace IdentityPlatform
