#include "app/platform/DisplayAccess.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

#include <xcb/xcb.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace DisplayAccess {

namespace {
// The folders where Qt looks for its platform plugins.
QStringList pluginFolders(char** argv)
{
    QStringList folders;
    const QString platformPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!platformPath.isEmpty()) {
        folders.append(platformPath);
    }
    for (const QString& path : qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        folders.append(path + QStringLiteral("/platforms"));
    }
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    // Beside the program, where a bundled Qt keeps its plugins.
    const QString program = QFile::decodeName(argv[0]);
    if (program.contains(QLatin1Char('/'))) {
        folders.append(QFileInfo(program).absolutePath() + QStringLiteral("/platforms"));
    }
    return folders;
}

bool pluginInstalled(const QStringList& folders, const QStringList& files)
{
    for (const QString& folder : folders) {
        for (const QString& file : files) {
            if (QFile::exists(folder + QLatin1Char('/') + file)) {
                return true;
            }
        }
    }
    return false;
}

// The probe's connection to the X server, kept until release().
xcb_connection_t* probeConnection = nullptr;

// Connects to the X server as the xcb plugin would ($DISPLAY); a working connection is kept until release().
QString x11Problem()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return QStringLiteral("no X11 display is set (DISPLAY)");
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return QStringLiteral("the X11 display %1 cannot be reached").arg(qEnvironmentVariable("DISPLAY"));
    }
    release();
    probeConnection = connection;
    return {};
}

// Connects to the compositor's socket as the wayland plugin would: $WAYLAND_DISPLAY (default "wayland-0") in
// $XDG_RUNTIME_DIR, or an absolute path; a socket handed over in $WAYLAND_SOCKET is taken as it is.
QString waylandProblem()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET")) {
        return {};
    }
    QByteArray name = qgetenv("WAYLAND_DISPLAY");
    const bool named = !name.isEmpty();
    if (!named) {
        name = "wayland-0";
    }
    QByteArray path = name;
    if (!name.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) {
            return QStringLiteral("no Wayland display can be found (XDG_RUNTIME_DIR is not set)");
        }
        path = runtime + '/' + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    bool reached = false;
    if (static_cast<size_t>(path.size()) < sizeof(address.sun_path)) {
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        reached = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        if (fd >= 0) {
            close(fd);
        }
    }
    if (reached) {
        return {};
    }
    return named ? QStringLiteral("the Wayland display %1 cannot be reached").arg(QString::fromLocal8Bit(name))
                 : QStringLiteral("no Wayland display is set (WAYLAND_DISPLAY)");
}
} // namespace

QString problem(int argc, char** argv)
{
    QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            requested = argv[i + 1];
        }
    }
    if (requested.isEmpty()) {
        // This build's default platform.
        requested = "xcb";
    }
    const QStringList folders = pluginFolders(argv);
    QStringList reasons;
    for (const QByteArray& entry : requested.split(';')) {
        // "xcb:option=value": the plugin's name comes before its options.
        const QByteArray platform = entry.split(':').first().trimmed();
        QString reason;
        if (platform == "xcb") {
            reason = pluginInstalled(folders, {QStringLiteral("libqxcb.so")})
                         ? x11Problem()
                         : QStringLiteral("Qt's X11 plugin is not installed (qt6-base)");
        } else if (platform.startsWith("wayland")) {
            reason = pluginInstalled(folders,
                                     {QStringLiteral("libqwayland-generic.so"), QStringLiteral("libqwayland-egl.so")})
                         ? waylandProblem()
                         : QStringLiteral("Qt's Wayland plugin is not installed (package qt6-wayland)");
        } else if (!platform.isEmpty()) {
            // Another platform (offscreen, vnc, eglfs): Qt knows best whether it works.
            return {};
        }
        if (reason.isEmpty() && !platform.isEmpty()) {
            return {};
        }
        if (!reason.isEmpty()) {
            reasons.append(reason);
        }
    }
    if (reasons.isEmpty()) {
        return {};
    }
    return QStringLiteral("Veltrane Auth cannot show its window: ") + reasons.join(QStringLiteral("; ")) +
           QLatin1Char('.');
}

void release()
{
    if (probeConnection) {
        xcb_disconnect(probeConnection);
        probeConnection = nullptr;
    }
}

} // namespace DisplayAccess
