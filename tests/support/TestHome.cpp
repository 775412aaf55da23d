#include "support/TestHome.h"

#include <QDir>

TestHome::TestHome() : previousHome_(qgetenv("HOME"))
{
    qputenv("HOME", QFile::encodeName(dir_.path()));
    QDir(dir_.path()).mkdir(QStringLiteral(".Veltrane Auth"));
}

TestHome::~TestHome()
{
    qputenv("HOME", previousHome_);
}

QString TestHome::dataDir() const
{
    return dir_.path() + QStringLiteral("/.Veltrane Auth");
}

QString TestHome::dataFile(const QString& name) const
{
    return dataDir() + QLatin1Char('/') + name;
}
