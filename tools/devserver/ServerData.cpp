#include "ServerData.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

namespace {
constexpr qint64 kDefaultSessionLifetime = 8 * 3600;

QJsonObject merged(QJsonObject base, const QJsonObject& over)
{
    for (auto it = over.begin(); it != over.end(); ++it) {
        base.insert(it.key(), it.value());
    }
    return base;
}
} // namespace

bool ServerData::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    path_ = path;
    root_ = document.object();
    return true;
}

bool ServerData::save() const
{
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(root_).toJson(QJsonDocument::Indented));
    return file.commit();
}

int ServerData::userIndex(const QString& name) const
{
    const QJsonArray users = root_.value(QStringLiteral("users")).toArray();
    for (int i = 0; i < users.size(); ++i) {
        if (users.at(i).toObject().value(QStringLiteral("name")).toString() == name) {
            return i;
        }
    }
    return -1;
}

QJsonObject ServerData::user(int index) const
{
    return root_.value(QStringLiteral("users")).toArray().at(index).toObject();
}

void ServerData::setUser(int index, const QJsonObject& user)
{
    QJsonArray users = root_.value(QStringLiteral("users")).toArray();
    users.replace(index, user);
    root_.insert(QStringLiteral("users"), users);
}

QString ServerData::deviceState(int index, const QString& device) const
{
    return user(index).value(QStringLiteral("devices")).toObject().value(device).toString();
}

void ServerData::setDeviceState(int index, const QString& device, const QString& state)
{
    QJsonObject entry = user(index);
    QJsonObject devices = entry.value(QStringLiteral("devices")).toObject();
    devices.insert(device, state);
    entry.insert(QStringLiteral("devices"), devices);
    setUser(index, entry);
}

bool ServerData::registeredToOther(int index, const QString& device) const
{
    const int count = int(root_.value(QStringLiteral("users")).toArray().size());
    for (int i = 0; i < count; ++i) {
        if (i != index && deviceState(i, device) == QLatin1String("registered")) {
            return true;
        }
    }
    return false;
}

int ServerData::registeredDeviceCount(int index) const
{
    int count = 0;
    const QJsonObject devices = user(index).value(QStringLiteral("devices")).toObject();
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        count += it.value().toString() == QLatin1String("registered") ? 1 : 0;
    }
    return count;
}

QJsonObject ServerData::overrideFor(int index, const QString& servlet) const
{
    if (index < 0) {
        return {};
    }
    const QJsonObject overrides = user(index).value(QStringLiteral("overrides")).toObject();
    return merged(overrides.value(QStringLiteral("all")).toObject(), overrides.value(servlet).toObject());
}

QJsonObject ServerData::session(const QString& id) const
{
    const QJsonArray sessions = root_.value(QStringLiteral("sessions")).toArray();
    for (const QJsonValue& value : sessions) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id) {
            return value.toObject();
        }
    }
    return {};
}

void ServerData::addSession(const QJsonObject& session)
{
    QJsonArray sessions = root_.value(QStringLiteral("sessions")).toArray();
    sessions.append(session);
    root_.insert(QStringLiteral("sessions"), sessions);
}

qint64 ServerData::sessionLifetimeSeconds() const
{
    const QString key = QStringLiteral("sessionLifetimeSeconds");
    return root_.contains(key) ? root_.value(key).toInteger() : kDefaultSessionLifetime;
}

QJsonObject ServerData::dateSettings(int index) const
{
    const QJsonObject global = root_.value(QStringLiteral("date")).toObject();
    return index < 0 ? global : merged(global, user(index).value(QStringLiteral("date")).toObject());
}
