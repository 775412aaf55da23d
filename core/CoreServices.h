#pragma once

#include <QString>

// Proxy values the transport applies to a request (kept by the controller, loaded from the settings file).
struct ProxyConfig {
    QString host;
    int port = 0;
    QString user;
    QString password;
};

// What the widget-free code needs from the application controller: the activity log, the device identity and the
// file key derived from it, message boxes and the proxy values. The controller implements it; tests put a fake in
// its place.
class CoreServices {
public:
    enum MessageKind { Information = 1, Critical = 2 };

    virtual ~CoreServices() = default;

    virtual void writeLog(const QString& text) = 0;
    virtual QString deviceIdentity() = 0;
    virtual QString fileKey() = 0;
    // kind 1: information box, kind 2: critical box, anything else: nothing. Returns when the box is closed.
    virtual void showMessage(const QString& text, int kind) = 0;
    // Shows the login window with the "Please Login" status; used when stored data turns out to be unusable.
    virtual void resetLoginStatus() = 0;
    virtual ProxyConfig proxyConfig() const = 0;
};

// The process-wide instance, set once at start-up (or by a test).
CoreServices* coreServices();
void setCoreServices(CoreServices* services);

// For widget-free code: the activity log and message boxes of the installed services; nothing while none is
// installed (a fuzzer, a test that does not care).
void logActivity(const QString& text);
void showCoreMessage(const QString& text, int kind);
