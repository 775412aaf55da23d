#pragma once

#include <QString>

// Whether the window system that Qt is going to use can be reached. Qt ends the process with an abort when no
// platform plugin can be initialised (no display, or its plugin is not installed), so start-up asks first, before
// the application object exists.
namespace DisplayAccess {

// Empty when a display can be reached through one of the platforms Qt will try (QT_QPA_PLATFORM or -platform, else
// the default); otherwise why none can, in one line for the user.
QString problem(int argc, char** argv);

} // namespace DisplayAccess
