#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// Services that differ between Windows and other systems; one implementation file per platform.
namespace Platform {

// Name of the account that runs the program (one byte per character, ISO 8859-1); empty when it cannot be had.
QString accountName();

// Blocks the calling thread, events included.
void blockingPause(int milliseconds);

// Start-up decodes pictures and hands the window system the icon in every size, in blocks of a few hundred KiB
// that are freed again at once. Called first in main(): such blocks go back to the system when freed instead of
// staying with the process as free heap.
void returnLargeBlocksToSystem();
// Hands the system back the free memory the process still holds; called once start-up or a sign-in is over.
void releaseFreeMemory();
// Called first thing in the program, before Qt starts any thread. In a sanitizer build the process, once it
// exits, waits (a few seconds at most) until its other threads have ended before the leak checker runs. Qt ends its
// D-Bus thread from a static destructor at exit, and its thread pool's too: a thread still ending when the checker
// runs holds its thread data only where the checker no longer looks, so the data would be reported as leaked, at
// random, and the process would end with status 1. Elsewhere this does nothing.
void awaitThreadsAtExit();

// Whether the path names a real directory (not a link to one) that belongs to the account running the program.
bool isOwnDirectory(const QString& path);

// Appends the bytes to a file private to the account (created with mode 0600), without following a link in its
// place: a link planted there would otherwise make the program write into whatever it points at. False when the
// file cannot be opened as a regular file or the bytes cannot all be written.
bool appendToPrivateFile(const QString& path, const QByteArray& bytes);
// Lets a program without a console of its own write to the console of whoever started it (a Windows program of the
// window subsystem gets none); output that is redirected to a pipe or a file stays where it goes. Nothing to do where
// a program always inherits its parent's terminal.
void attachToParentConsole();

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

    // False when another live instance of this account holds the guard. On Unix, where every folder that could
    // hold it belongs to someone else, the program runs unguarded: true.
    bool acquire();

    // Where the running instance listens for a second start's request (InstanceChannel): a local socket beside the
    // lock in the account's private folder on Unix, a name in the user's session on Windows. Empty when there is
    // no private place for it.
    QString channelName() const;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    QString key_;
};

} // namespace Platform
