// The Windows paths of the identity sources come from the plain Windows calls of IdentityPaths_win.cpp; this file
// only converts Qt's text types.
#include "identity/IdentityPlatform.h"

#include "identity/IdentityPaths_win.h"

namespace IdentityPlatform {

QString scriptHostPath()
{
    return QString::fromStdWString(IdentityPaths::scriptHostPath());
}

QStringList probeLibraryPaths(const QString& programDir)
{
    return {QString::fromStdWString(IdentityPaths::probeLibraryPath(programDir.toStdWString()))};
}

bool readsMachineData()
{
    // Windows keeps the script host as its third source.
    return false;
}

} // namespace IdentityPlatform
