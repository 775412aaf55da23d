#include "ui/tray/systemTray.h"

#include "ui_systemTray.h"

#include "core/SharedText.h"
#include "ui/common/ProgramIcon.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"
#include "ui/tray/TrayAccessibility.h"
#include "ui/tray/TrayHost.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include <memory>

namespace {
// How long the start-up balloon stays, in milliseconds.
const int kBalloonDurationMs = 151000;
// How long the balloon waits for an XEmbed tray to give the icon its place, so that it points at the icon, and how
// often it looks.
const int kBalloonPlaceWaitMs = 2000;
const int kBalloonPlaceCheckMs = 50;
// How often a desktop without a tray is asked again whether one has started.
const int kTrayPollMs = 1000;

// Under X11 and Wayland, Qt's first tray icon fixes the route for the whole run; made while no tray exists, it
// could never reach a StatusNotifierItem host that starts later. Other platforms take the icon at once.
bool iconMustWaitForTray()
{
    const QString platform = QGuiApplication::platformName();
    const bool x11 = platform == QLatin1String("xcb");
    if (!x11 && !platform.startsWith(QLatin1String("wayland"))) {
        return false;
    }
    return !TrayHost::statusNotifierHostPresent() && !(x11 && TrayHost::xembedTrayPresent());
}

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

    // The program's own icon, which start-up has already made the application's (decoded once, not again here).
    if (QGuiApplication::windowIcon().isNull()) {
        setWindowIcon(ProgramIcon::icon());
    }
    ui->pBExit->setIcon(QIcon(QStringLiteral(":/Close.png")));

    if (!iconMustWaitForTray()) {
        createTrayIcon();
        const Balloon balloon{text.appTitle, QChar(0x00A9) + text.copyrightLine, QSystemTrayIcon::Information,
                              kBalloonDurationMs};
        showBalloon(balloon);
        return;
    }
    trayPoll_ = new QTimer(this);
    trayPoll_->setInterval(kTrayPollMs);
    connect(trayPoll_, &QTimer::timeout, this, [this] {
        if (iconMustWaitForTray()) {
            return;
        }
        trayPoll_->stop();
        createTrayIcon();
        leaveContainerPresence();
        emit trayAppeared();
    });
    trayPoll_->start();
}

void systemTray::createTrayIcon()
{
    // Asked at the same moment as Qt decides its route, with the same question.
    statusNotifierRoute_ = TrayHost::statusNotifierHostPresent();
    // Done at start-up already (where it must be, for the icon to be among the program's windows); here for a tray
    // made without that start-up.
    TrayAccessibility::install();
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setObjectName(QStringLiteral("trayIcon"));
    trayIcon->setContextMenu(trayMenu);
    trayIcon->setIcon(windowIcon());
    trayIcon->setToolTip(SharedText::get().appName);
    trayIcon->show();
    connect(trayIcon, &QSystemTrayIcon::activated, this, &systemTray::iconActivated);
}

void systemTray::showBalloon(const Balloon& balloon)
{
    if (balloonSink()) {
        balloonSink()(balloon);
        return;
    }
    if (statusNotifierRoute_) {
        // Qt sends a balloon with a standard symbol as the icon's attention state (NeedsAttention with the
        // attention icon "dialog-information") for as long as it shows; given the program's own picture instead,
        // the tray keeps showing the program's icon.
        trayIcon->showMessage(balloon.title, balloon.text, trayIcon->icon(), balloon.durationMs);
        return;
    }
    // An XEmbed tray places the icon only after the program has asked it to dock the icon; a balloon shown before
    // that points at the top left corner of the screen. The wait counts from the event loop's start, since start-up
    // still blocks for a while after the icon is made.
    auto* wait = new QTimer(this);
    wait->setInterval(kBalloonPlaceCheckMs);
    auto checksLeft = std::make_shared<int>(kBalloonPlaceWaitMs / kBalloonPlaceCheckMs);
    connect(wait, &QTimer::timeout, this, [this, wait, balloon, checksLeft] {
        const QRect place = trayIcon->geometry();
        if ((place.isEmpty() || place.topLeft() == QPoint(0, 0)) && --*checksLeft > 0) {
            return;
        }
        wait->stop();
        wait->deleteLater();
        trayIcon->showMessage(balloon.title, balloon.text, balloon.icon, balloon.durationMs);
        TrayAccessibility::nameBalloon(balloon.title);
    });
    wait->start();
}

bool systemTray::hasHost() const
{
    return trayIcon && QSystemTrayIcon::isSystemTrayAvailable();
}

systemTray::~systemTray() = default;

void systemTray::attachToContainer(QWidget* container)
{
    // The same entries as the tray menu, with its separators, on a right click anywhere the screens leave free.
    container->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction* action : trayMenu->actions()) {
        container->addAction(action);
    }
    // The taskbar entry needs an icon; a frameless window has no title bar that would show it.
    container->setWindowIcon(windowIcon());
    presenceContainer_ = container;
}

void systemTray::leaveContainerPresence()
{
    if (AppController* controller = appController()) {
        controller->setHasTray(true);
    }
    if (!presenceContainer_) {
        return;
    }
    for (QAction* action : trayMenu->actions()) {
        presenceContainer_->removeAction(action);
    }
    presenceContainer_->setContextMenuPolicy(Qt::DefaultContextMenu);
    presenceContainer_ = nullptr;
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
    if (trayIcon) {
        trayIcon->hide();
    }
}

void systemTray::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        systemtrayOpenTokenManger();
        break;
    case QSystemTrayIcon::Trigger:
        // XEmbed trays report every click, a double click included, so there a single one does nothing; a
        // StatusNotifierItem host sends only this single activation, for a left click and a double click alike.
        if (statusNotifierRoute_) {
            systemtrayOpenTokenManger();
        }
        break;
    case QSystemTrayIcon::Context:
        // On XEmbed Qt has opened the menu itself. A StatusNotifierItem host that draws menus shows the exported
        // one and never asks; one that asks draws none (swaybar), so the menu opens where the pointer is.
        if (statusNotifierRoute_) {
            trayMenu->popup(QCursor::pos());
        }
        break;
    default:
        break;
    }
}
