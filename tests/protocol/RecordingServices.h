#pragma once

#include "app/CoreServices.h"

#include <QPair>
#include <QStringList>

// Stands in for the controller: keeps log lines and message boxes instead of writing or showing them.
class RecordingServices : public CoreServices {
public:
    RecordingServices() { setCoreServices(this); }
    ~RecordingServices() override { setCoreServices(nullptr); }
    RecordingServices(const RecordingServices&) = delete;
    RecordingServices& operator=(const RecordingServices&) = delete;

    void writeLog(const QString& text) override { log.append(text); }
    QString deviceIdentity() override { return identity; }
    QString fileKey() override { return QString(32, QLatin1Char('0')); }
    void showMessage(const QString& text, int kind) override { messages.append({text, kind}); }
    void resetLoginStatus() override { ++resets; }
    ProxyConfig proxyConfig() const override { return proxy; }

    QStringList log;
    QList<QPair<QString, int>> messages;
    int resets = 0;
    QString identity = QStringLiteral("DEVICE-1");
    ProxyConfig proxy;
};
