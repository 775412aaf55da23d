#pragma once

#include <QString>
#include <QStringList>

// What the device identity's sources find differently per platform; one implementation file per platform, chosen by
// the build.
namespace IdentityPlatform {

// The absolute path of the installed script host; empty where none is installed.
QString scriptHostPath();

// Where the probe library may come from, by absolute path only, in the order to try; programDir is the program's
// own folder.
QStringList probeLibraryPaths(const QString& programDir);

// Whether source 3 falls back to the platform's own management data when no script host yields a serial.
bool readsMachineData();

} // namespace IdentityPlatform
