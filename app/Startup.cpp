#include "app/Startup.h"

#include "app/controller/AppController.h"
#include "app/controller/BaseScreen.h"
#include "app/core/DataPaths.h"
#include "app/InstanceChannel.h"
#include "app/controller/MessageBox.h"
#include "app/ScreenSet.h"
#include "app/core/SharedText.h"
#include "app/platform/DisplayAccess.h"
#include "app/core/platform/Platform.h"
#include "protocol/AuthTransaction.h"
#include "storage/PrivateFile.h"
#include "storage/ResourceStore.h"
#include "ui/common/ProgramIcon.h"
#include "ui/common/ScreenFonts.h"
#include "ui/tray/systemTray.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>

#include <cstdio>
#include <cstring>

#include <cstdio>

namespace {
// Key of the single-instance guard.
const char* const kInstanceGuardKey = "61BB200D-3579-453e-9044-";

// The name of a data file, without its folder.
QString fileName(const QString& relativePath)
{
    return QFileInfo(homeFilePath(relativePath)).fileName();
}
} // namespace

bool preferX11Display()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return false;
    }
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!wayland) {
        return false;
    }
    // Wayland stays as the fallback for a session that runs no XWayland.
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    return true;
}

QString commandLineAnswer(int argc, char** argv)
{
    const SharedText& text = SharedText::get();
    QString answer;
    for (int i = 1; i < argc && answer.isEmpty(); ++i) {
        const bool version = std::strcmp(argv[i], "--version") == 0;
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (!version && !help) {
            continue;
        }
        answer = text.appName + QLatin1Char(' ') + text.appVersion + QLatin1Char('\n');
        answer += QStringLiteral("Soft-token client of the Veltrane managed two-factor authentication service.\n");
        answer +=
            QStringLiteral("Server: %1 (a setting of the build, not of the command line)\n").arg(text.serverBaseUrl);
        if (help) {
            answer += QStringLiteral("\nUsage: veltrane-auth [--help | --version]\n"
                                     "\nSigned in once, it shows a six-digit code for each protected resource, renewed "
                                     "every 30 seconds, and\n"
                                     "lives in the system tray. Ctrl+C or a click on the code copies it; the copy is "
                                     "cleared after 30 seconds.\n"
                                     "Any other argument goes to the toolkit (for instance -platform).\n"
                                     "\nFiles, in %1:\n"
                                     "  login.dat  the stored login, enciphered for this computer\n"
                                     "  res.dat    the resources and their token keys, enciphered for this computer\n"
                                     "  Proxy.dat  the proxy settings and preferences\n"
                                     "  log.dat    the activity log\n"
                                     "Started with the session through ~/.config/autostart/veltrane-auth.desktop (the "
                                     "Preference page).\n")
                          .arg(homeFilePath(text.dataDirRel));
        }
    }
    return answer;
}

int runApplication(int argc, char** argv)
{
    Platform::awaitThreadsAtExit();
    // Answered before anything else: no display, no window, no data directory, no lock.
    const QString answer = commandLineAnswer(argc, argv);
    if (!answer.isEmpty()) {
        std::fputs(answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    preferX11Display();
    // Qt aborts the process when it finds no display; say why and end instead.
    const QString displayProblem = DisplayAccess::problem(argc, argv);
    if (!displayProblem.isEmpty()) {
        std::fprintf(stderr, "%s\n", displayProblem.toLocal8Bit().constData());
        return 1;
    }
    QApplication application(argc, argv);
    DisplayAccess::release();
    const SharedText& text = SharedText::get();
    // Another account's folder, or a link to anywhere, in the data directory's place: whoever owns it could plant
    // stores or read them. Decided before anything is read; the folder is left untouched and the program runs
    // without it (the login window, nothing kept).
    const QFileInfo dataDirInfo(homeFilePath(text.dataDirRel));
    setDataDirectoryRefused((dataDirInfo.exists() || dataDirInfo.isSymLink()) &&
                            !Platform::isOwnDirectory(dataDirInfo.filePath()));

    // Created once and kept until the process ends, like every screen.
    auto* controller = new AppController;
    setAppController(controller);
    setCoreServices(controller);
    setResourceStore(new ResourceStore);
    auto* session = new AuthTransaction;
    setAuthTransaction(session);
    session->loadLogin();

    // One live instance per account.
    Platform::InstanceGuard guard(QString::fromLatin1(kInstanceGuardKey));
    if (!guard.acquire()) {
        // The running instance brings its window back, also where no tray could (a desktop without one).
        InstanceChannel::askToShow(guard.channelName());
        MessageBox::critical(nullptr, text.msgAlreadyRunning);
        return 0;
    }
    auto* channel = new InstanceChannel(&application);
    channel->listen(guard.channelName());

    QApplication::setWindowIcon(ProgramIcon::icon());
    ScreenFonts::installSubstitutions();

    const QString dataDir = homeFilePath(text.dataDirRel);
    if (isDataDirectoryRefused()) {
        MessageBox::critical(nullptr, text.msgDataDirectoryRefused.arg(QDir::toNativeSeparators(dataDir)));
    } else {
        // Private to the account (an existing looser directory is tightened); a failure is not reported here.
        PrivateFile::makeDirectory(dataDir);
        // The guard is held, so no other instance is in the middle of a save: what an interrupted one left goes.
        PrivateFile::removeLeftovers(
            dataDir, {fileName(text.loginFileRel), fileName(text.resFileRel), fileName(text.settingsFileRel)});
    }
    controller->writeLog(text.appName + text.appVersion);

    auto* layout = new QGridLayout;
    controller->container()->setLayout(layout);

    // Collected now, before any window exists; a fatal failure ends the process here.
    controller->deviceIdentity();

    const ScreenSet screens = ScreenSet::create(*controller, [] { Platform::blockingPause(1000); });

    // Without a tray (stock GNOME, several Wayland desktops) the program still runs: the container itself is the
    // presence, with a taskbar entry and the tray menu on a right click, until a tray starts and takes the icon.
    const bool hasTray = screens.tray->hasHost();
    controller->setHasTray(hasTray);
    if (!hasTray) {
        screens.tray->attachToContainer(controller->container());
    }

    QApplication::setQuitOnLastWindowClosed(false);
    screens.place(layout);
    controller->container()->setVisible(true);
    controller->container()->setMouseTracking(true);
    screens.showFirstScreen(*controller);
    QObject::connect(channel, &InstanceChannel::showRequested, screens.tray, &systemTray::systemtrayOpenTokenManger);

    return QApplication::exec();
}
