#pragma once

#include <QString>

// Whether the window system that Qt is going to use can be reached. Qt ends the process with an abort when no
// platform plugin can be initialised (no display, or its plugin is not installed), so start-up asks first, before
// the application object exists.
namespace DisplayAccess {

// Empty when a display can be reached through one of the platforms Qt will try (QT_QPA_PLATFORM or -platform, else
// the default); otherwise why none can, in one line for the user.
QString problem(int argc, char** argv);

// Closes what problem() kept open to reach the display, once the application object holds its own connection. An X
// server with no other client resets when its last client leaves and drops whoever connects meanwhile: the probe's
// connection stays until Qt's is made.
void release();

} // namespace DisplayAccess
