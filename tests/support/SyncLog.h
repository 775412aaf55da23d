#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The activity log of a whole Sync that installs the server's list, from the status request on, when the server's
// clock and ours both read `now`: what the token screen and the chain behind it must both write.
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
