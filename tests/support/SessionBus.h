#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A private D-Bus session bus (dbus-daemon --session), for tests that need desktop services such as a tray's
// StatusNotifierWatcher; nothing of the machine's own session is reached. Stopped when the object goes away.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool isValid() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    QString address() const { return address_; }
    // env with DBUS_SESSION_BUS_ADDRESS naming this bus.
    QProcessEnvironment environment(QProcessEnvironment env) const;

private:
    QProcess daemon_;
    QString address_;
    QString error_;
};
