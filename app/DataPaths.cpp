#include "app/DataPaths.h"

#include <QDir>

QString homeFilePath(const QString& relativePath)
{
    QString native = relativePath;
    native.replace(QLatin1Char('\\'), QDir::separator());
    return QDir::homePath() + native;
}
