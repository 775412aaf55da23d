#pragma once

// Where start-up time and memory go: with QT_LOGGING_RULES="veltrane.startup.debug=true" each step from main() to
// the first shown window prints one line: its name, the milliseconds since main() began and since the step before,
// and the process's resident memory where the platform tells it. Off by default; a step then costs one check of the
// category.
namespace StartupTrace {

// Starts the clock; the program calls it first thing in main().
void start();

// Ends one step of start-up. name is the step's name (a literal).
void step(const char* name);

} // namespace StartupTrace
