#pragma once

#include <QString>

// Services that differ between Windows and other systems; one implementation file per platform.
namespace Platform {

// Name of the account that runs the program (one byte per character, ISO 8859-1); empty when it cannot be had.
QString accountName();

// Blocks the calling thread, events included.
void blockingPause(int milliseconds);

// Removes a single-instance guard segment left behind by an instance that died without releasing it, so that it
// does not lock the user out. A guard that a live instance still holds is left alone.
void clearStaleInstanceGuard(const QString& key);

} // namespace Platform
