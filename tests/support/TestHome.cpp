#include "support/TestHome.h"

#include <QDir>

TestHome::TestHome()
    : previousHome_(qgetenv("HOME")), previousConfigHome_(qgetenv("XDG_CONFIG_HOME")),
      hadConfigHome_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    qputenv("HOME", QFile::encodeName(dir_.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QDir(dir_.path()).mkdir(QStringLiteral(".Veltrane Auth"));
}

TestHome::~TestHome()
{
    qputenv("HOME", previousHome_);
    if (hadConfigHome_) {
        qputenv("XDG_CONFIG_HOME", previousConfigHome_);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
    }
}

QString TestHome::dataDir() const
{
    return dir_.path() + QStringLiteral("/.Veltrane Auth");
}

QString TestHome::dataFile(const QString& name) const
{
    return dataDir() + QLatin1Char('/') + name;
}
