#pragma once

#include "storage/ResourceRecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The Sync that the token screen's tests and its chain's tests both run against the development server: a stored
// session of the demo user holding one old resource, the server's and our clocks at one time.
namespace SyncScenario {

inline const QDateTime kNow(QDate(2026, 12, 10), QTime(4, 44, 7), Qt::UTC);
inline const QString kSessionId = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX");
inline const QString kSessionKey = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF");
inline const ResourceRecord kOld{QStringLiteral("Old Resource"), QStringLiteral("demo.user"),
                                 QStringLiteral("Old Group"), QStringLiteral("OLDKEY")};

// A development server override: the servlet `name` ("stat", "sync") answers with `reply`.
inline QJsonObject servlet(const char* name, const QJsonObject& reply)
{
    return QJsonObject{{QLatin1String(name), reply}};
}

// The activity log of a whole Sync that installs the server's list, from the status request on, when the server's
// clock and ours both read `now`.
inline QStringList fullSyncLog(const QDateTime& now)
{
    return {
        QStringLiteral("Network Connected Sucessfully"),
        QStringLiteral("Sync Request Format is Processing...!"),
        QStringLiteral("Sync Reply : Data Received Successfully...!"),
        QStringLiteral("Sync Server Decrypted Response  Start!"),
        QStringLiteral("Sync Server Decrypted Response  verify!"),
        QStringLiteral("SyncTransResponceReturn.data() !"),
        QStringLiteral("Sync Server Decrypted Sucess !"),
        QStringLiteral("Persist data is Started"),
        QStringLiteral("Server Date Time: ") + now.toString(Qt::TextDate),
        QStringLiteral("Local Date Time: ") + now.toString(Qt::TextDate),
        QStringLiteral("Seconds Difference:0"),
        QStringLiteral("Persist data is completed"),
        QStringLiteral("Veltrane Auth1.0.7End"),
    };
}

} // namespace SyncScenario
