#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The development server's world, kept in its JSON data file (format in README.md): users with passwords, account
// and device states, automatic-registration limits, resources with token keys, per-user overrides, sessions and the
// Date header settings. Registrations and sessions are written back to the file.
class ServerData {
public:
    bool load(const QString& path, QString* error);
    bool save() const;

    // Index of the user with exactly this name, or -1.
    int userIndex(const QString& name) const;
    QJsonObject user(int index) const;
    void setUser(int index, const QJsonObject& user);

    // The state of a device for a user: "registered", "pending", "rejected", "locked", or empty (not registered).
    QString deviceState(int index, const QString& device) const;
    void setDeviceState(int index, const QString& device, const QString& state);
    // Whether another user than the one at index holds the device as registered.
    bool registeredToOther(int index, const QString& device) const;
    int registeredDeviceCount(int index) const;

    // The override object of a servlet ("stat", "reg", "auth", "sync") for a user, merged over its "all" entry.
    QJsonObject overrideFor(int index, const QString& servlet) const;

    // Sessions: identifier, user, key, device, expiry.
    QJsonObject session(const QString& id) const;
    void addSession(const QJsonObject& session);
    qint64 sessionLifetimeSeconds() const;

    // Date header settings: the user's "date" object over the file's.
    QJsonObject dateSettings(int index) const;

private:
    QString path_;
    QJsonObject root_;
};
