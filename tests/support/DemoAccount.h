#pragma once

#include <QJsonObject>
#include <QString>

// The development server's demo data (tools/devserver/demo.json) and its one user, made ready for a test that starts
// past the registration: this computer registered for the user and a session the stored login can go on with.
namespace DemoAccount {

// The demo data as the file holds it; empty when the file cannot be read.
QJsonObject data();

// The session a stored login holds: the server knows it for `user` on the device `identity` until 2099.
struct Session {
    QString id;
    QString user;
    QString key;
};

// The demo data with the device `identity` registered for its user and `session` open; `userFields` (such as
// "overrides" or "date") are set on the user as well. Empty when the file cannot be read.
QJsonObject registered(const QString& identity, const Session& session, const QJsonObject& userFields = {});

} // namespace DemoAccount
