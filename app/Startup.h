#pragma once

#include <QString>

// Runs the whole program: start-up, the event loop and the release at the end. Returns the process's exit code.
int runApplication(int argc, char** argv);

// The text that --help (-h) or --version prints instead of starting the program; empty when neither is given. Every
// other argument is left for the application object.
QString commandLineAnswer(int argc, char** argv);

// Under a Wayland session without QT_QPA_PLATFORM, asks for X11 (XWayland) with Wayland as the fallback: a
// frameless window can neither place itself, stay on top, nor be dragged by move() under Wayland. Must run before
// the application object exists. Returns whether it chose.
bool preferX11Display();
