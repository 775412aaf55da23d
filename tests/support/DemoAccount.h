#pragma once

#include <QJsonObject>
#include <QString>

// The development server's demo data (tools/devserver/demo.json) and its one user, made ready for a test that starts
// past the registration: this computer registered for the user and a session the stored login can go on with.
namespace DemoAccount {

// The demo data as the file holds it; empty when the file cannot be read.
QJsonObject data();

// The demo data with the device `identity` in `deviceState` for its user ("registered", "locked", ...; empty: not
// registered) and `userFields` (such as "overrides" or "date") set on the user. Empty when the file cannot be read.
QJsonObject withDevice(const QString& identity, const QString& deviceState, const QJsonObject& userFields = {});

// The session a stored login holds: the server knows it for `user` on the device `identity` until 2099.
struct Session {
    QString id;
    QString user;
    QString key;
};

// withDevice() with the device registered, and `session` open.
QJsonObject registered(const QString& identity, const Session& session, const QJsonObject& userFields = {});

} // namespace DemoAccount
