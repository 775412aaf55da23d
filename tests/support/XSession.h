#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A private X server (Xvfb) with a system tray host (trayer), for tests that run the program as a real process in
// a real window. Both are stopped when the object goes away.
class XSession {
public:
    enum TrayHost { WithTrayHost, WithoutTrayHost };
    // Without a tray host the session is a desktop that has no system tray (stock GNOME, for one).
    explicit XSession(TrayHost trayHost = WithTrayHost);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool isValid() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    QString display() const { return display_; }
    // The current environment with DISPLAY set to this server and Qt's X11 platform selected.
    QProcessEnvironment environment() const;
    // Starts the tray host now, as a panel that starts after the program does; false (with error()) when it fails.
    bool addTrayHost();
    // Ends the tray host, as a panel that quits or crashes.
    void stopTrayHost();

private:
    bool startTrayHost();
    bool waitForTrayHost();

    QProcess server_;
    QProcess trayHost_;
    QString display_;
    QString error_;
};
