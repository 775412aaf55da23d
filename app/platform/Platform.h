#pragma once

#include <QString>

// Services that differ between Windows and other systems; one implementation file per platform.
namespace Platform {

// Name of the account that runs the program (one byte per character, ISO 8859-1); empty when it cannot be had.
QString accountName();

// Blocks the calling thread, events included.
void blockingPause(int milliseconds);

// The single-instance guard's key for the account that runs the program: one live instance per account, not per
// machine.
QString instanceGuardKey(const QString& key);

// Removes a single-instance guard segment left behind by an instance that died without releasing it, so that it
// does not lock the user out. A guard that a live instance still holds is left alone.
void clearStaleInstanceGuard(const QString& key);

} // namespace Platform
