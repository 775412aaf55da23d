#pragma once

// Runs the whole program: start-up, the event loop and the release at the end. Returns the process's exit code.
int runApplication(int argc, char** argv);
