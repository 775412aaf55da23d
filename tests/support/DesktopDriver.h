#pragma once

#include "support/XSession.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Drives real windows on a private X server the way a user would: xdotool finds windows and sends keys and clicks
// through the XTEST extension (events the toolkit cannot tell from a keyboard's), xclip reads the clipboard and
// imagemagick's import takes screenshots. Every wait polls a condition with a deadline; nothing sleeps for a fixed
// time.
namespace Desktop {

struct CommandResult {
    int exitCode = -1;
    QByteArray output;
    QByteArray error;
};

// Runs a command to its end (at most timeoutMs) in the given environment.
CommandResult run(const QProcessEnvironment& env, const QString& program, const QStringList& arguments,
                  int timeoutMs = 15000);

// Polls `condition` every 10 ms, processing events in between, until it holds or timeoutMs have passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// One window as xdotool sees it.
struct Window {
    QString id;
    QString name;
    QRect geometry;
    bool isValid() const { return !id.isEmpty(); }
};

// A program that runs on the session beside the one under test (a window manager, a compositor) for the life of
// the object.
class Companion {
public:
    Companion(const QProcessEnvironment& env, const QString& program, const QStringList& arguments = {});
    ~Companion();
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running; }
    QString error() const { return error_; }
    // Ends it now (the session then has no window manager, no compositor again).
    void stop();

private:
    QProcess process_;
    QString error_;
};

class Session {
public:
    // withTrayHost false: no system tray on this desktop.
    explicit Session(bool withTrayHost = true);

    bool isValid() const { return x_.isValid(); }
    QString error() const { return x_.error(); }
    QProcessEnvironment environment() const { return x_.environment(); }
    // Starts a tray host on a desktop that had none, as a panel that starts after the program; false (with error())
    // when it did not take the system tray.
    bool addTrayHost() { return x_.addTrayHost(); }
    // Ends the tray host, as a panel that quits or crashes.
    void stopTrayHost() { x_.stopTrayHost(); }

    // Mapped (viewable) windows of a process; with a name, only those whose title matches the regular expression.
    QList<Window> visibleWindows(qint64 pid, const QString& nameRegex = QString()) const;
    // Waits until a mapped window of the process passes `accept`; an invalid window when none did in time.
    Window waitForWindow(qint64 pid, const std::function<bool(const Window&)>& accept, int timeoutMs) const;
    // Waits until no mapped window of the process passes `accept`.
    bool waitForNoWindow(qint64 pid, const std::function<bool(const Window&)>& accept, int timeoutMs) const;

    // Gives the window the keyboard focus (no window manager runs, so the focus is set directly).
    bool focus(const Window& window) const;
    // Types text into the focused window, one key event per character.
    bool type(const QString& text) const;
    // Presses keys by their X names: "Return", "ctrl+c", "Tab".
    bool key(const QString& keys) const;
    // Clicks the left button at a point inside the window.
    bool click(const Window& window, const QPoint& point) const;
    // The clipboard's text, as a pasting program would get it.
    QString clipboard() const;
    // Saves the whole screen as a PNG file.
    bool screenshot(const QString& path) const;

private:
    XSession x_;
};

} // namespace Desktop
