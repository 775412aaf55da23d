#pragma once

#include <QString>

#include <memory>

// Services that differ between Windows and other systems; one implementation file per platform.
namespace Platform {

// Name of the account that runs the program (one byte per character, ISO 8859-1); empty when it cannot be had.
QString accountName();

// Blocks the calling thread, events included.
void blockingPause(int milliseconds);

// Starting with the desktop session. On Linux (and other XDG desktops) this is the autostart entry
// "veltrane-auth.desktop" in the account's autostart folder ($XDG_CONFIG_HOME/autostart, else ~/.config/autostart);
// on Windows a value of the account's Run key.
// True when the session starts the program at log-in: the entry exists and is not switched off (Hidden=true).
bool startsWithSession();
// Writes (atomically) or removes the entry; `program` is the absolute path of the program the session is to start.
// False when the entry could not be written or removed; what was there before is then unchanged.
bool setStartsWithSession(bool enabled, const QString& program);

// The single-instance guard: while one is held, no other instance of the program runs for this account. Released
// when the object goes, or by the system when the process dies, so a crashed instance never locks the user out.
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& key);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // False when another live instance of this account holds the guard (or the guard cannot be had at all).
    bool acquire();

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    QString key_;
};

} // namespace Platform
