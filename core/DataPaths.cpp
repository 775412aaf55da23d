#include "core/DataPaths.h"

#include <QDir>

namespace {
bool dataDirectoryRefused = false;
} // namespace

QString homeFilePath(const QString& relativePath)
{
    QString native = relativePath;
    native.replace(QLatin1Char('\\'), QDir::separator());
    return QDir::homePath() + native;
}

bool isDataDirectoryRefused()
{
    return dataDirectoryRefused;
}

void setDataDirectoryRefused(bool refused)
{
    dataDirectoryRefused = refused;
}
