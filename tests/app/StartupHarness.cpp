// The program's start-up, with every message box answered at once and reported on standard output as
// "BOX <icon> <parent|none> <text>", and "READY login=<shown|hidden> token=<shown|hidden>" printed once the event
// loop runs, naming which of the two screens is visible then, followed by "IDENTITY=<hex>" with the device identity
// start-up collected. With VELTRANE_HARNESS_QUIT_WHEN_READY set, the program then ends through its event loop
// (exit code 0). Process tests drive this instead of the real executable so that no box waits for a click.
//
// Once running it also reports the presence ("PRESENCE tray" with "TRAY x y w h", the icon's place on the screen,
// and "TRAYWINDOW <id>", the X window that shows the icon, or "PRESENCE none") and the tray menu ("MENU" and the
// entries, "-" for a separator), and it takes commands on standard input, one per line:
//   answer yes|no   the answer to the next question box ("&No" otherwise, as Escape gives)
//   exit            the tray menu's Exit
//   close           what a screen's Close button asks for (AppController::closeToTray)
//   closebutton     the login window's own Close button (pBExit)
//   hide            hides the container
//   show            the tray menu's Show
//   ontop 1|0       applies the "Always Top" preference to the container, as a saved setting does
//   move <x> <y>    moves the container
//   settings        the login window's settings button (pBTProxy)
//   sync            the token screen's Sync button (pBSync)
//   winid           prints "WINID <id>", the container's X window
//   state           prints "STATE visible=<0|1> minimized=<0|1> x=<x> y=<y> menu=<right-click entries>"
//   balloon         prints "BALLOON <x> <y> <w> <h>", the shown balloon's place, or "BALLOON none"
//   trayicon        prints "TRAYICON <x> <y> <w> <h>", the icon's place on the screen, or "TRAYICON none"
//   traymenu        prints "TRAYMENU <0|1>", whether the tray menu is open, with its place when it is
// A tray that starts later and takes the icon is reported as "TRAYAPPEARED".
#include "app/Startup.h"
#include "ui/login/MainWindow.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"
#include "ui/token/Tokendetails.h"
#include "ui/tray/systemTray.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {
QMessageBox::StandardButton nextAnswer = QMessageBox::No;

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

const char* visibility(const QWidget* screen)
{
    return screen && screen->isVisible() ? "shown" : "hidden";
}

systemTray* findTray()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* tray = qobject_cast<systemTray*>(widget)) {
            return tray;
        }
    }
    return nullptr;
}

QString entries(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions) {
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts.join(QLatin1Char('|'));
}

void runCommand(const QByteArray& command)
{
    AppController* controller = appController();
    BaseScreen* container = controller->container();
    if (command.startsWith("answer ")) {
        nextAnswer = command.endsWith("yes") ? QMessageBox::Yes : QMessageBox::No;
    } else if (command == "exit") {
        findTray()->exitAction->trigger();
    } else if (command == "close") {
        controller->closeToTray(controller->loginWindow());
    } else if (command == "closebutton") {
        if (auto* button = controller->loginWindow()->findChild<QPushButton*>(QStringLiteral("pBExit"))) {
            button->click();
        }
    } else if (command == "hide") {
        container->hide();
    } else if (command == "show") {
        findTray()->showAction->trigger();
    } else if (command.startsWith("ontop ")) {
        container->setAlwaysOnTop(command.endsWith('1'));
    } else if (command.startsWith("move ")) {
        const QList<QByteArray> words = command.split(' ');
        container->move(words.value(1).toInt(), words.value(2).toInt());
    } else if (command == "settings") {
        if (auto* button = controller->loginWindow()->findChild<QPushButton*>(QStringLiteral("pBTProxy"))) {
            button->click();
        }
    } else if (command == "sync") {
        if (auto* button = controller->tokenScreen()->findChild<QPushButton*>(QStringLiteral("pBSync"))) {
            button->click();
        }
    } else if (command == "winid") {
        say(QStringLiteral("WINID %1").arg(container->windowHandle()->winId()));
    } else if (command == "balloon") {
        QString place = QStringLiteral(" none");
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("QBalloonTip") && widget->isVisible()) {
                const QRect shown = widget->frameGeometry();
                place =
                    QStringLiteral(" %1 %2 %3 %4").arg(shown.x()).arg(shown.y()).arg(shown.width()).arg(shown.height());
            }
        }
        say(QStringLiteral("BALLOON") + place);
    } else if (command == "trayicon") {
        const QSystemTrayIcon* icon = findTray()->trayIcon;
        const QRect place = icon ? icon->geometry() : QRect();
        say(icon ? QStringLiteral("TRAYICON %1 %2 %3 %4")
                       .arg(place.x())
                       .arg(place.y())
                       .arg(place.width())
                       .arg(place.height())
                 : QStringLiteral("TRAYICON none"));
    } else if (command == "traymenu") {
        const QMenu* menu = findTray()->trayMenu;
        say(menu->isVisible() ? QStringLiteral("TRAYMENU 1 %1 %2").arg(menu->x()).arg(menu->y())
                              : QStringLiteral("TRAYMENU 0"));
    } else if (command == "state") {
        say(QStringLiteral("STATE visible=%1 minimized=%2 x=%3 y=%4 menu=%5")
                .arg(int(container->isVisible()))
                .arg(int(container->isMinimized()))
                .arg(container->x())
                .arg(container->y())
                .arg(container->contextMenuPolicy() == Qt::ActionsContextMenu ? entries(container->actions())
                                                                              : QString()));
    }
}

void announceEventLoop()
{
    QTimer::singleShot(0, [] {
        AppController* controller = appController();
        std::printf("READY login=%s token=%s\n", visibility(controller ? controller->loginWindow() : nullptr),
                    visibility(controller ? controller->tokenScreen() : nullptr));
        std::fflush(stdout);
        systemTray* tray = findTray();
        if (!controller || !tray) {
            return;
        }
        say(QStringLiteral("IDENTITY=") + QString::fromLatin1(controller->deviceIdentity().toLatin1().toHex()));
        if (controller->hasTray()) {
            const QRect place = tray->trayIcon->geometry();
            say(QStringLiteral("PRESENCE tray"));
            say(QStringLiteral("TRAY %1 %2 %3 %4")
                    .arg(place.x())
                    .arg(place.y())
                    .arg(place.width())
                    .arg(place.height()));
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->inherits("QSystemTrayIconSys")) {
                    say(QStringLiteral("TRAYWINDOW %1").arg(widget->winId()));
                }
            }
        } else {
            say(QStringLiteral("PRESENCE none"));
        }
        say(QStringLiteral("MENU ") + entries(tray->trayMenu->actions()));
        QObject::connect(tray, &systemTray::trayAppeared, [] { say(QStringLiteral("TRAYAPPEARED")); });
        if (qEnvironmentVariableIsSet("VELTRANE_HARNESS_QUIT_WHEN_READY")) {
            QCoreApplication::quit();
            return;
        }
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
        QObject::connect(input, &QSocketNotifier::activated, qApp, [input] {
            static QByteArray pending;
            char buffer[256];
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0) {
                input->setEnabled(false);
                return;
            }
            pending.append(buffer, qsizetype(count));
            qsizetype end = 0;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QByteArray command = pending.left(end).trimmed();
                pending.remove(0, end + 1);
                runCommand(command);
            }
        });
    });
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(announceEventLoop)

int main(int argc, char** argv)
{
    MessageBox::setHandler([](const MessageBox::Request& request) {
        say(QStringLiteral("BOX %1 %2 %3")
                .arg(int(request.icon))
                .arg(request.parent ? QStringLiteral("parent") : QStringLiteral("none"), request.text));
        if (request.kind == MessageBox::Kind::Question) {
            const QMessageBox::StandardButton answer = nextAnswer;
            nextAnswer = QMessageBox::No;
            return answer;
        }
        return QMessageBox::Ok;
    });
    return runApplication(argc, argv);
}
