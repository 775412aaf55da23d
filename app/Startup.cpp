#include "app/Startup.h"

#include "app/AppController.h"
#include "app/BaseScreen.h"
#include "app/DataPaths.h"
#include "app/MessageBox.h"
#include "app/ScreenSet.h"
#include "app/SharedText.h"
#include "app/platform/DisplayAccess.h"
#include "app/platform/Platform.h"
#include "protocol/AuthTransaction.h"
#include "storage/PrivateFile.h"
#include "storage/ResourceStore.h"
#include "ui/common/ScreenFonts.h"
#include "ui/tray/systemTray.h"

#include <QApplication>
#include <QGridLayout>
#include <QIcon>
#include <QSystemTrayIcon>

#include <cstdio>

namespace {
// Key of the single-instance guard.
const char* const kInstanceGuardKey = "61BB200D-3579-453e-9044-";
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

int runApplication(int argc, char** argv)
{
    preferX11Display();
    // Qt aborts the process when it finds no display; say why and end instead.
    const QString displayProblem = DisplayAccess::problem(argc, argv);
    if (!displayProblem.isEmpty()) {
        std::fprintf(stderr, "%s\n", displayProblem.toLocal8Bit().constData());
        return 1;
    }
    QApplication application(argc, argv);
    const SharedText& text = SharedText::get();

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
        MessageBox::critical(nullptr, text.msgAlreadyRunning);
        return 0;
    }

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/CompLogo.png")));
    ScreenFonts::installSubstitutions();

    // Private to the account (an existing looser directory is tightened); a failure is not reported here.
    PrivateFile::makeDirectory(homeFilePath(text.dataDirRel));
    controller->writeLog(text.appName + text.appVersion);

    auto* layout = new QGridLayout;
    controller->container()->setLayout(layout);

    // Collected now, before any window exists; a fatal failure ends the process here.
    controller->deviceIdentity();

    const ScreenSet screens = ScreenSet::create(*controller, [] { Platform::blockingPause(1000); });

    // Without a tray (stock GNOME, several Wayland desktops) the program still runs: the container itself is the
    // presence, with a taskbar entry and the tray menu on a right click.
    const bool hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    controller->setHasTray(hasTray);
    if (!hasTray) {
        screens.tray->attachToContainer(controller->container());
    }

    QApplication::setQuitOnLastWindowClosed(false);
    screens.place(layout);
    controller->container()->setVisible(true);
    controller->container()->setMouseTracking(true);
    screens.showFirstScreen(*controller);

    return QApplication::exec();
}
