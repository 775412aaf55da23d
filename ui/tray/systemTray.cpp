#include "ui/tray/systemTray.h"

#include "ui_systemTray.h"

#include "app/AppController.h"
#include "app/BaseScreen.h"
#include "app/MessageBox.h"
#include "app/SharedText.h"
#include "ui/common/ProgramIcon.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

namespace {
// How long the start-up balloon stays, in milliseconds.
const int kBalloonDurationMs = 151000;

systemTray::BalloonSink& balloonSink()
{
    static systemTray::BalloonSink sink;
    return sink;
}
} // namespace

void systemTray::setBalloonSink(BalloonSink sink)
{
    balloonSink() = std::move(sink);
}

systemTray::systemTray(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::systemTray>())
{
    ui->setupUi(this);
    const SharedText& text = SharedText::get();

    showAction = new QAction(QStringLiteral("&Show ") + text.appName, this);
    showAction->setObjectName(QStringLiteral("showAction"));
    connect(showAction, &QAction::triggered, this, &systemTray::systemtrayOpenTokenManger);
    aboutAction = new QAction(tr("&About"), this);
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    connect(aboutAction, &QAction::triggered, this, &systemTray::showAbout);
    exitAction = new QAction(tr("E&xit"), this);
    exitAction->setObjectName(QStringLiteral("exitAction"));
    connect(exitAction, &QAction::triggered, this, &systemTray::ExistConfirm);

    trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    trayMenu->addAction(showAction);
    trayMenu->addSeparator();
    trayMenu->addAction(aboutAction);
    trayMenu->addSeparator();
    trayMenu->addAction(exitAction);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setObjectName(QStringLiteral("trayIcon"));
    trayIcon->setContextMenu(trayMenu);

    const QIcon icon = ProgramIcon::icon();
    trayIcon->setIcon(icon);
    setWindowIcon(icon);
    trayIcon->setToolTip(text.appName);
    ui->pBExit->setIcon(QIcon(QStringLiteral(":/Close.png")));

    trayIcon->show();
    const Balloon balloon{text.appTitle, QChar(0x00A9) + text.copyrightLine, QSystemTrayIcon::Information,
                          kBalloonDurationMs};
    if (balloonSink()) {
        balloonSink()(balloon);
    } else {
        trayIcon->showMessage(balloon.title, balloon.text, balloon.icon, balloon.durationMs);
    }
    connect(trayIcon, &QSystemTrayIcon::activated, this, &systemTray::iconActivated);
}

systemTray::~systemTray() = default;

void systemTray::attachToContainer(QWidget* container)
{
    // The same entries as the tray menu, with its separators, on a right click anywhere the screens leave free.
    container->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction* action : trayMenu->actions()) {
        container->addAction(action);
    }
    // The taskbar entry needs a name and an icon; a frameless window has no title bar that would show them.
    container->setWindowTitle(SharedText::get().appName);
    container->setWindowIcon(windowIcon());
}

void systemTray::on_pBExit_clicked()
{
    if (AppController* controller = appController()) {
        if (controller->hasTray()) {
            controller->container()->setVisible(false);
        } else {
            controller->container()->showMinimized();
        }
    }
}

void systemTray::systemtrayOpenTokenManger()
{
    if (AppController* controller = appController()) {
        BaseScreen* container = controller->container();
        // Also brings back a container minimised to the taskbar where no tray exists.
        container->setWindowState(container->windowState() & ~Qt::WindowMinimized);
        container->setVisible(true);
        container->raise();
        container->activateWindow();
    }
}

void systemTray::showAbout()
{
    const SharedText& text = SharedText::get();
    MessageBox::about(this, QStringLiteral("About ") + text.appName, text.aboutHtml);
}

void systemTray::ExistConfirm()
{
    if (!MessageBox::question(this, SharedText::get().msgConfirmExit)) {
        return;
    }
    QCoreApplication::quit();
    trayIcon->hide();
}

void systemTray::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        systemtrayOpenTokenManger();
    }
}
