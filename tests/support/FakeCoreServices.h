#pragma once

#include "cipher/FileKey.h"
#include "core/CoreServices.h"

#include <QList>
#include <QPair>
#include <QStringList>

// Core services with a fixed device identity, installed for the life of the object. It records log lines and
// message boxes instead of writing or showing them.
class FakeCoreServices : public CoreServices {
public:
    explicit FakeCoreServices(const QString& identity = QStringLiteral("Test Manufacturer TST-0001 tester"))
        : identity(identity), previous_(coreServices())
    {
        setCoreServices(this);
    }
    ~FakeCoreServices() override { setCoreServices(previous_); }
    FakeCoreServices(const FakeCoreServices&) = delete;
    FakeCoreServices& operator=(const FakeCoreServices&) = delete;

    void writeLog(const QString& text) override { logLines.append(text); }
    QString deviceIdentity() override { return identity; }
    QString fileKey() override
    {
        ++fileKeyRequests;
        return fileKeyFor(identity);
    }
    void showMessage(const QString& text, int kind) override { messages.append({text, kind}); }
    void resetLoginStatus() override { ++loginStatusResets; }
    ProxyConfig proxyConfig() const override { return proxy; }

    // Changing it changes the file key, as moving the files to another computer or account would.
    QString identity;
    QStringList logLines;
    QList<QPair<QString, int>> messages;
    int loginStatusResets = 0;
    // How often the file key was asked for: readers ask only once they hold bytes to decipher.
    int fileKeyRequests = 0;
    ProxyConfig proxy;

private:
    CoreServices* previous_;
};
