#include "app/Startup.h"

#include "app/CodeCommand.h"
#include "app/InstanceChannel.h"
#include "app/ScreenSet.h"
#include "app/platform/DisplayAccess.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "core/StartupTrace.h"
#include "core/platform/Platform.h"
#include "protocol/AuthTransaction.h"
#include "storage/PrivateFile.h"
#include "storage/ResourceStore.h"
#include "ui/common/ProgramIcon.h"
#include "ui/common/ScreenFonts.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"
#include "ui/tray/TrayAccessibility.h"
#include "ui/tray/systemTray.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {
// Key of the single-instance guard.
const char* const kInstanceGuardKey = "61BB200D-3579-453e-9044-";

// The container's first paint, which follows its first exposure on the screen, ends start-up: the trace's last
// step, and what start-up held only for a moment goes back to the system.
class FirstPaintWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            StartupTrace::step("first window painted");
            watched->removeEventFilter(this);
            deleteLater();
            QTimer::singleShot(0, [] { Platform::releaseFreeMemory(); });
        }
        return false;
    }
};

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
                                     "       veltrane-auth --code [NAME] [--min-validity SECONDS]\n"
                                     "       veltrane-auth --list\n"
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
                                     "Preference page).\n"
                                     "\nCodes for scripts and terminals: no window opens, no request is sent, nothing "
                                     "is written, and it\n"
                                     "works beside a running program. Sign in with the program first.\n"
                                     "  --code [NAME]           print the current code of the stored resource named "
                                     "NAME (without NAME,\n"
                                     "                          the first one, which the token screen shows first)\n"
                                     "  --min-validity SECONDS  with --code: when fewer than SECONDS (0 to 30) remain "
                                     "of the code's\n"
                                     "                          30-second step (steps begin at every full and half "
                                     "minute), wait for\n"
                                     "                          the next step and print its code\n"
                                     "  --list                  print the stored resources, one a line: name, account "
                                     "and group,\n"
                                     "                          separated by tabs\n"
                                     "Exit status: 0 printed; 1 the device identity could not be collected; 2 no "
                                     "stored session, or\n"
                                     "stored files that do not decipher (they are kept); 3 no resource of that name; "
                                     "4 the resource's\n"
                                     "token or the device registration has expired; 64 bad arguments.\n"
                                     "Example: code=$(veltrane-auth --code \"Mail Gateway\" --min-validity 10) "
                                     "|| exit\n")
                          .arg(homeFilePath(text.dataDirRel));
        }
    }
    return answer;
}

int runApplication(int argc, char** argv)
{
    // The start-up trace counts from here, the top of main().
    StartupTrace::start();
    Platform::returnLargeBlocksToSystem();
    Platform::awaitThreadsAtExit();
    // Answered before anything else: no display, no window, no data directory, no lock.
    const QString answer = commandLineAnswer(argc, argv);
    if (!answer.isEmpty()) {
        Platform::attachToParentConsole();
        std::fputs(answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    StartupTrace::step("command line read");
    // The codes for scripts and terminals, also before anything else: no display, no window, no lock, nothing
    // written. The application object is the core one, for the program's own directory (where the probe library of
    // the device identity lies) and the arguments in the system's encoding.
    if (CodeCommand::isRequested(argc, argv)) {
        Platform::attachToParentConsole();
        const QCoreApplication application(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        out.setEncoding(QStringConverter::System);
        err.setEncoding(QStringConverter::System);
        return CodeCommand::run(QCoreApplication::arguments().mid(1), out, err);
    }
    preferX11Display();
    // Qt aborts the process when it finds no display; say why and end instead.
    const QString displayProblem = DisplayAccess::problem(argc, argv);
    if (!displayProblem.isEmpty()) {
        std::fprintf(stderr, "%s\n", displayProblem.toLocal8Bit().constData());
        return 1;
    }
    StartupTrace::step("display reached");
    // Before the application object, whose adaptor for screen readers is made once and must list the tray icon.
    TrayAccessibility::install();
    QApplication application(argc, argv);
    DisplayAccess::release();
    StartupTrace::step("application");
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
    StartupTrace::step("controller and container");
    setResourceStore(new ResourceStore);
    auto* session = new AuthTransaction;
    setAuthTransaction(session);
    session->loadLogin();
    StartupTrace::step("stored login loaded");

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
    StartupTrace::step("single instance");

    QApplication::setWindowIcon(ProgramIcon::icon());
    ScreenFonts::installSubstitutions();
    StartupTrace::step("window icon and fonts");

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
    StartupTrace::step("data directory and log");

    auto* layout = new QGridLayout;
    controller->container()->setLayout(layout);

    // Collected now, before any window exists; a fatal failure ends the process here.
    controller->deviceIdentity();
    StartupTrace::step("device identity");

    const ScreenSet screens = ScreenSet::build(*controller, [] { Platform::blockingPause(1000); });

    // Without a tray (stock GNOME, several Wayland desktops) the program still runs: the container itself is the
    // presence, with a taskbar entry and the tray menu on a right click, until a tray starts and takes the icon.
    const bool hasTray = screens.tray->hasHost();
    controller->setHasTray(hasTray);
    if (!hasTray) {
        screens.tray->attachToContainer(controller->container());
    }
    StartupTrace::step("tray checked");

    QApplication::setQuitOnLastWindowClosed(false);
    screens.place(layout);
    // Watched from before it shows: a box of the first screen (stored data found corrupted) paints it already.
    controller->container()->installEventFilter(new FirstPaintWatch(controller->container()));
    controller->container()->setVisible(true);
    controller->container()->setMouseTracking(true);
    StartupTrace::step("container shown");
    screens.showFirstScreen(*controller);
    StartupTrace::step("first screen chosen");
    QObject::connect(channel, &InstanceChannel::showRequested, screens.tray, &systemTray::systemtrayOpenTokenManger);

    return QApplication::exec();
}
