#include "DemoAccount.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace DemoAccount {

QJsonObject data()
{
    QFile file(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject withDevice(const QString& identity, const QString& deviceState, const QJsonObject& userFields)
{
    QJsonObject demoData = data();
    if (demoData.isEmpty()) {
        return {};
    }
    QJsonArray users = demoData.value(QStringLiteral("users")).toArray();
    QJsonObject demo = users.at(0).toObject();
    if (!deviceState.isEmpty()) {
        demo.insert(QStringLiteral("devices"), QJsonObject{{identity, deviceState}});
    }
    for (auto field = userFields.begin(); field != userFields.end(); ++field) {
        demo.insert(field.key(), field.value());
    }
    users.replace(0, demo);
    demoData.insert(QStringLiteral("users"), users);
    return demoData;
}

QJsonObject registered(const QString& identity, const Session& session, const QJsonObject& userFields)
{
    QJsonObject demoData = withDevice(identity, QStringLiteral("registered"), userFields);
    if (demoData.isEmpty()) {
        return {};
    }
    demoData.insert(QStringLiteral("sessions"),
                    QJsonArray{QJsonObject{{QStringLiteral("id"), session.id},
                                           {QStringLiteral("user"), session.user},
                                           {QStringLiteral("key"), session.key},
                                           {QStringLiteral("device"), identity},
                                           {QStringLiteral("expires"), QStringLiteral("2099-01-01T00:00:00Z")}}});
    return demoData;
}

} // namespace DemoAccount
